#include "animgif/AnimGifRules.h"
#include "platform/Files.h"
#include "platform/Units.h"

#include <QLocale>
#include <QRegularExpression>
#include <limits>

namespace animgif {
namespace {

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

bool isListedPicture(const QString &fileName)
{
    const QString ext = platform::lowerExtension(fileName);
    return ext == QLatin1String(".bmp") || ext == QLatin1String(".jpg");
}

QString entryPath(const QString &folder, const QString &name)
{
    return platform::withSeparator(folder) + name;
}

QString outputPath(const QString &folder) { return entryPath(folder, kOutputName); }

} // namespace animgif
