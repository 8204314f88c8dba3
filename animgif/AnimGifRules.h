#pragma once
#include <QSize>
#include <QString>
#include <optional>
#include <QtGlobal>

// The animated GIF window's rules, free of widgets: what the delay box accepts, which files a
// folder contributes, and where the GIF goes.
namespace animgif {

constexpr int kDelayMaxChars = 5;
constexpr qint32 kDelayLimit = 60000;   // hundredths of a second
constexpr qint32 kMinDelay = 1;
constexpr qint32 kLoopForever = 0;
inline const QString kDefaultDelay = QStringLiteral("100");
inline const QString kOutputName = QStringLiteral("Pixmar-anim.gif");

// Whether the delay box's text reads as a number (an optional sign, digits, a decimal point,
// an exponent; blanks around it). Empty text is not a number.
bool isNumericText(const QString &text);
// The number the text starts with; 0 when it starts with none.
double leadingNumber(const QString &text);
// The delay a picture is listed with: the box's number when it is 1 or more (rounded to a
// whole number, halves to even), else 1.
qint32 listedDelay(const QString &text);
// True when the box holds a number above the limit.
bool exceedsDelayLimit(const QString &text);

// Only ".bmp" and ".jpg" pictures are listed (".JPG" too; ".jpeg" not).
bool isListedPicture(const QString &fileName, bool allFormats = false);
// A folder and a name joined with one separator.
QString entryPath(const QString &folder, const QString &name);
// The GIF's path in a folder.
QString outputPath(const QString &folder);

// The frame-size option: frames larger than the box are scaled down to fit inside it, their
// proportions kept; smaller ones keep their size. An empty box keeps every size.
QSize fitWithin(QSize picture, QSize box);
// "WxH" (such as "800x600"), each side 1 to 65535, the largest a GIF holds; nothing otherwise.
std::optional<QSize> parseFitBox(const QString &text);
QString fitBoxText(QSize box);   // "800x600"; empty for an empty box
// The boxes the window offers (its setting may hold any other that parseFitBox accepts).
inline constexpr QSize kFitChoices[] = {{1920, 1080}, {1280, 720}, {800, 600}, {640, 480}, {320, 240}};

} // namespace animgif
