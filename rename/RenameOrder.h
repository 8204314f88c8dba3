#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The order in which a rename numbers the files of a folder.
namespace renbulk {

enum class Order {
    Name,       // the listing's order (case-insensitive name order): the window's own
    Taken,      // when each picture was taken, from its EXIF; files without it after, by Modified
    Modified,   // when each file was last modified
};

// "name", "taken", "modified": the command line's words and the remembered setting's.
QString orderWord(Order order);
std::optional<Order> orderFromWord(const QString &word);

// The instant in nanoseconds since 1970 (UTC) of an EXIF capture time: the date and time
// ("YYYY:MM:DD HH:MM:SS"), the fraction of its second (digits) and its offset from UTC
// ("+HH:MM"). Without an offset the time is read as this computer's local time, the zone
// the camera was most likely set to. Nothing when the date and time do not read as one.
std::optional<qint64> captureInstant(const QString &dateTime, const QString &subSeconds,
                                     const QString &offset);

// The paths in `order`; ties (and every file for Name) in the listing's order. `progress`
// hears of each file whose information is read (1-based index, count, path).
QStringList orderPaths(const QStringList &paths, Order order,
                       const std::function<void(int, int, const QString &)> &progress = {});

} // namespace renbulk
