#include "rename/RenameOrder.h"

#include "platform/Files.h"
#include "tools/PhotoInformation.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <sys/stat.h>

namespace renbulk {
namespace {

constexpr qint64 kNanosPerMilli = 1000000;
constexpr int kNanoDigits = 9;

struct SortKey {
    qsizetype nameRank = 0;
    bool hasTaken = false;
    qint64 taken = 0;
    qint64 modified = 0;
};

qint64 modifiedNs(const QString &path)
{
    struct stat st;
    if (::stat(platform::nativePath(path).constData(), &st) != 0)
        return 0;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

} // namespace

QString orderWord(Order order)
{
    switch (order) {
    case Order::Name: return QStringLiteral("name");
    case Order::Taken: return QStringLiteral("taken");
    case Order::Modified: return QStringLiteral("modified");
    }
    return {};
}

std::optional<Order> orderFromWord(const QString &word)
{
    for (Order o : {Order::Name, Order::Taken, Order::Modified}) {
        if (orderWord(o) == word)
            return o;
    }
    return std::nullopt;
}

std::optional<qint64> captureInstant(const QString &dateTimeIn, const QString &subSecondsIn, const QString &offsetIn)
{
    // Cameras pad their texts with blanks and NULs.
    auto clean = [](QString s) { return s.remove(QChar(0)).trimmed(); };
    static const QRegularExpression stamp(
        QStringLiteral("^(\\d{4}):(\\d{2}):(\\d{2})[ T](\\d{2}):(\\d{2}):(\\d{2})$"));
    const auto m = stamp.match(clean(dateTimeIn));
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;

    static const QRegularExpression zone(QStringLiteral("^([+-])(\\d{2}):(\\d{2})$"));
    const auto z = zone.match(clean(offsetIn));
    const int offsetMinutes = z.hasMatch() ? z.captured(2).toInt() * 60 + z.captured(3).toInt() : -1;
    const QDateTime when = offsetMinutes >= 0 && offsetMinutes <= 14 * 60
        ? QDateTime(date, time, QTimeZone(
                                    (z.captured(1) == QLatin1String("-") ? -60 : 60) * offsetMinutes))
        : QDateTime(date, time, Qt::LocalTime);
    if (!when.isValid())
        return std::nullopt;

    // The fraction as written: "5" is half a second, "050" five hundredths.
    static const QRegularExpression digits(QStringLiteral("^\\d+$"));
    QString fraction = clean(subSecondsIn);
    if (!digits.match(fraction).hasMatch())
        fraction.clear();
    const qint64 nanos = fraction.left(kNanoDigits).leftJustified(kNanoDigits, QLatin1Char('0')).toLongLong();
    return when.toMSecsSinceEpoch() * kNanosPerMilli + nanos;
}

QStringList orderPaths(const QStringList &paths, Order order,
                       const std::function<void(int, int, const QString &)> &progress)
{
    QStringList byName = paths;
    platform::sortForListing(byName);
    if (order == Order::Name)
        return byName;
    std::vector<SortKey> keys(size_t(byName.size()));
    for (qsizetype i = 0; i < byName.size(); ++i) {
        const QString &path = byName[i];
        if (progress)
            progress(int(i) + 1, int(byName.size()), path);
        SortKey &k = keys[size_t(i)];
        k.nameRank = i;
        k.modified = modifiedNs(path);
        if (order == Order::Taken) {
            if (const auto stamp = tools::readCaptureStamp(path)) {
                if (const auto at = captureInstant(stamp->dateTime, stamp->subSeconds, stamp->offset)) {
                    k.hasTaken = true;
                    k.taken = *at;
                }
            }
        }
    }
    std::sort(keys.begin(), keys.end(), [](const SortKey &a, const SortKey &b) {
        // Pictures with a capture time first, by it; the rest by modification time.
        if (a.hasTaken != b.hasTaken)
            return a.hasTaken;
        const qint64 ta = a.hasTaken ? a.taken : a.modified;
        const qint64 tb = b.hasTaken ? b.taken : b.modified;
        if (ta != tb)
            return ta < tb;
        return a.nameRank < b.nameRank;
    });
    QStringList out;
    out.reserve(byName.size());
    for (const SortKey &k : keys)
        out << byName[k.nameRank];
    return out;
}

} // namespace renbulk
