// The order a rename numbers files in: by name, by when each picture was taken, by when each
// file was last modified.
#include "app/Cli.h"
#include "rename/FolderSnapshot.h"
#include "rename/RenameOrder.h"
#include "support/TestSupport.h"
#include "tools/PhotoInformation.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

using renbulk::captureInstant;
using renbulk::Order;

namespace {

constexpr qint64 kNanosPerSecond = 1000000000;

qint64 utcNanos(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toMSecsSinceEpoch() * 1000000;
}

// A small JPEG whose EXIF says when it was taken; empty texts are left out.
void writePhoto(const QString &path, const char *taken, const char *subSeconds = "", const char *offset = "")
{
    writeFile(path, testsupport::jpegBytes(16, 16));
    if (!*taken)
        return;
    auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Photo.DateTimeOriginal"] = std::string(taken);
    if (*subSeconds)
        exif["Exif.Photo.SubSecTimeOriginal"] = std::string(subSeconds);
    if (*offset)
        exif[Exiv2::ExifKey(0x9011, "Photo").key()] = std::string(offset);
    image->setExifData(exif);
    image->writeMetadata();
}

void setModified(const QString &path, qint64 secondsSince1970)
{
    const struct timespec times[2] = {{secondsSince1970, 0}, {secondsSince1970, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

QStringList names(const QStringList &paths)
{
    QStringList out;
    for (const QString &p : paths)
        out << p.section(QLatin1Char('/'), -1);
    return out;
}

} // namespace

TEST(CaptureTime, ReadsTheDateWithItsFractionAndOffsetAndRefusesWhatIsNoDate)
{
    EXPECT_EQ(captureInstant("2024:05:01 10:00:00", "", "+02:00"), utcNanos("2024-05-01T08:00:00Z"));
    EXPECT_EQ(captureInstant("2024:05:01 10:00:00", "", "-03:30"), utcNanos("2024-05-01T13:30:00Z"));
    // The fraction as written: "5" half a second, "050" five hundredths.
    EXPECT_EQ(*captureInstant("2024:05:01 10:00:00", "5", "+00:00") - utcNanos("2024-05-01T10:00:00Z"),
              kNanosPerSecond / 2);
    EXPECT_EQ(*captureInstant("2024:05:01 10:00:00", "050", "+00:00") - utcNanos("2024-05-01T10:00:00Z"),
              kNanosPerSecond / 20);
    // Cameras pad with NULs and blanks; a fraction or offset that does not read is left out.
    EXPECT_EQ(captureInstant(QStringLiteral("2024:05:01 10:00:00") + QChar(0), " 25 ", "+01:00 "),
              utcNanos("2024-05-01T09:00:00.250Z"));
    EXPECT_EQ(captureInstant("2024:05:01 10:00:00", "x1", "Z"),
              QDateTime(QDate(2024, 5, 1), QTime(10, 0), Qt::LocalTime).toMSecsSinceEpoch() * 1000000);
    for (const char *notADate : {"", "0000:00:00 00:00:00", "2024:13:01 10:00:00", "2024-05-01", "    :  :     :  :  "})
        EXPECT_FALSE(captureInstant(notADate, "", "")) << notADate;
}

TEST(RenameOrder, TakenNumbersByCaptureTimeThenTheRestByModificationTime)
{
    QTemporaryDir tmp;
    auto at = [&](const char *n) { return tmp.path() + '/' + n; };
    // Two cameras: their names disagree with when the pictures were taken, and one writes its
    // offset from UTC (10:00 at +02:00 is 08:00 UTC, before 09:30 UTC).
    writePhoto(at("DSC_0001.jpg"), "2024:05:01 10:00:00", "", "+02:00");
    writePhoto(at("DSC_0002.jpg"), "2024:05:01 09:30:00", "", "+00:00");
    writePhoto(at("IMG_0001.jpg"), "2024:05:01 07:00:00", "75", "+00:00");
    writePhoto(at("IMG_0002.jpg"), "2024:05:01 07:00:00", "5", "+00:00");
    // The same instant: the name decides.
    writePhoto(at("IMG_0004.jpg"), "2024:05:01 09:30:00", "", "+00:00");
    // No capture time: after every picture that has one, by modification time, ties by name.
    writePhoto(at("IMG_0003.jpg"), "");
    writeFile(at("notes.txt"), "notes");
    writeFile(at("a.txt"), "a");
    setModified(at("IMG_0003.jpg"), 2000000000);
    setModified(at("notes.txt"), 1000000000);
    setModified(at("a.txt"), 2000000000);

    QStringList paths;
    for (const char *n : {"notes.txt", "IMG_0003.jpg", "DSC_0002.jpg", "a.txt", "IMG_0001.jpg", "DSC_0001.jpg",
                          "IMG_0002.jpg", "IMG_0004.jpg"})
        paths << at(n);
    EXPECT_EQ(names(renbulk::orderPaths(paths, Order::Taken)),
              QStringList({"IMG_0002.jpg", "IMG_0001.jpg", "DSC_0001.jpg", "DSC_0002.jpg", "IMG_0004.jpg",
                           "notes.txt", "a.txt", "IMG_0003.jpg"}));
    EXPECT_EQ(names(renbulk::orderPaths(paths, Order::Name)),
              QStringList({"a.txt", "DSC_0001.jpg", "DSC_0002.jpg", "IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg",
                           "IMG_0004.jpg", "notes.txt"}));
    int heard = 0;
    const QStringList byModified = renbulk::orderPaths(paths, Order::Modified, [&](int, int n, const QString &) {
        EXPECT_EQ(n, 8);
        ++heard;
    });
    EXPECT_EQ(heard, 8);
    EXPECT_EQ(names(byModified).first(1), QStringList{"notes.txt"});
    EXPECT_EQ(names(byModified).last(2), QStringList({"a.txt", "IMG_0003.jpg"}));
}

TEST(RenameOrder, TheCaptureTimeComesFromTheHeadersOnly)
{
    // A photo cut off right after its headers (no picture data at all) still says when it
    // was taken: nothing past the headers is needed.
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/cut.jpg";
    writePhoto(path, "2023:12:31 23:59:59", "", "+00:00");
    QByteArray bytes = testsupport::readBytes(path);
    const qsizetype scan = bytes.indexOf("\xff\xda");
    ASSERT_GT(scan, 0);
    writeFile(path, bytes.left(scan + 2));
    const auto stamp = tools::readCaptureStamp(path);
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->dateTime, "2023:12:31 23:59:59");
    EXPECT_EQ(stamp->offset, "+00:00");
    // Not pictures at all: no time, no error.
    writeFile(tmp.path() + "/text.jpg", "not a picture");
    EXPECT_FALSE(tools::readCaptureStamp(tmp.path() + "/text.jpg"));
    EXPECT_FALSE(tools::readCaptureStamp(tmp.path() + "/missing.jpg"));
}

TEST(RenameOrder, TheCommandNumbersPhotosByWhenTheyWereTaken)
{
    QTemporaryDir tmp;
    const QString d = tmp.path();
    writePhoto(d + "/DSC_0001.jpg", "2024:05:01 12:00:00", "", "+00:00");
    writePhoto(d + "/IMG_0001.jpg", "2024:05:01 08:00:00", "", "+00:00");
    writePhoto(d + "/IMG_0002.jpg", "2024:05:01 10:00:00", "", "+00:00");
    const FolderSnapshot before = snapshotFolder(d);
    testsupport::Captured out(stdout);
    EXPECT_EQ(app::runCommandLine({"rename", d, "--prefix", "Holiday", "--order", "taken"}), app::kExitOk);
    EXPECT_EQ(out.text(), d + "/Holiday-0000.jpg\n" + d + "/Holiday-0001.jpg\n" + d
                              + "/Holiday-0002.jpg\n3 files were renamed.\n");
    EXPECT_EQ(snapshotFolder(d), renamed(before, {{"IMG_0001.jpg", "Holiday-0000.jpg"},
                                                  {"IMG_0002.jpg", "Holiday-0001.jpg"},
                                                  {"DSC_0001.jpg", "Holiday-0002.jpg"}}));
}
