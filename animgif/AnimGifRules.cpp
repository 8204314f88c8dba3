#include "animgif/AnimGifRules.h"

#include "platform/Formats.h"
#include "platform/Files.h"
#include "platform/Units.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

namespace animgif {
namespace {

constexpr int kMaxGifSide = 0xFFFF;   // the GIF's width and height fields are 16 bits

const QRegularExpression &numberPattern()
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?))"));
    return re;
}

} // namespace

bool isNumericText(const QString &text)
{
    const QRegularExpressionMatch m = numberPattern().match(text);
    return m.hasMatch() && text.mid(m.capturedEnd()).trimmed().isEmpty();
}

double leadingNumber(const QString &text)
{
    const QRegularExpressionMatch m = numberPattern().match(text);
    return m.hasMatch() ? QLocale::c().toDouble(m.captured(1)) : 0.0;
}

qint32 listedDelay(const QString &text)
{
    const double value = leadingNumber(text);
    if (!(value >= kMinDelay))
        return kMinDelay;
    // The box holds five characters, so only an exponent gets this far.
    if (value > std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    return qint32(platform::roundHalfEven(value));
}

bool exceedsDelayLimit(const QString &text) { return leadingNumber(text) > kDelayLimit; }

bool isListedPicture(const QString &fileName, bool allFormats)
{
    static const QStringList listed =
        platform::formats::extensionsOf({platform::formats::Id::Bmp, platform::formats::Id::Jpeg});
    static const QStringList every = platform::formats::allPictureExtensions();
    return (allFormats ? every : listed).contains(platform::lowerExtension(fileName));
}

QString entryPath(const QString &folder, const QString &name)
{
    return platform::withSeparator(folder) + name;
}

QString outputPath(const QString &folder) { return entryPath(folder, kOutputName); }

QSize fitWithin(QSize picture, QSize box)
{
    if (box.isEmpty() || picture.isEmpty()
        || (picture.width() <= box.width() && picture.height() <= box.height()))
        return picture;
    // The side that hits the box first sets the scale; the other is rounded, never to nothing.
    const double scale = std::min(double(box.width()) / picture.width(),
                                  double(box.height()) / picture.height());
    const int w = std::clamp(int(std::lround(picture.width() * scale)), 1, box.width());
    const int h = std::clamp(int(std::lround(picture.height() * scale)), 1, box.height());
    return QSize(w, h);
}

std::optional<QSize> parseFitBox(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(R"(^\s*(\d{1,5})\s*[xX]\s*(\d{1,5})\s*$)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int w = m.captured(1).toInt(), h = m.captured(2).toInt();
    if (w < 1 || h < 1 || w > kMaxGifSide || h > kMaxGifSide)
        return std::nullopt;
    return QSize(w, h);
}

QString fitBoxText(QSize box)
{
    return box.isEmpty() ? QString() : QStringLiteral("%1x%2").arg(box.width()).arg(box.height());
}

} // namespace animgif
