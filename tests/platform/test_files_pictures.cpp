#include <sys/stat.h>
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Picture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

struct FilesTest : ::testing::Test {
    testsupport::ScriptedFixture fx;
    QTemporaryDir tmp;
    QString path(const QString &name) const { return tmp.filePath(name); }
};

qint64 errorNumber(const std::function<void()> &f)
{
    try {
        f();
    } catch (const AppError &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST_F(FilesTest, ListingHoldsPlainFilesInCaseInsensitiveOrder)
{
    for (const char *n : {"b.jpg", "A.jpg", "c.TXT", ".hidden.jpg"})
        writeBytes(path(n), "x");
    QDir(tmp.path()).mkdir(QStringLiteral("sub.jpg"));
    QFile::link(path("b.jpg"), path("link.jpg"));
    QFile::link(path("missing"), path("dangling.jpg"));
    EXPECT_EQ(listPlainFiles(tmp.path()),
              QStringList({"A.jpg", "b.jpg", "c.TXT", "link.jpg"}));
    EXPECT_EQ(errorNumber([&] { listPlainFiles(path("nope")); }), err::PathNotFound);

    FolderListing listing(tmp.path());
    EXPECT_EQ(listing.first(), "A.jpg");
    writeBytes(path("a0-new.jpg"), "x");   // appears after the listing was taken
    EXPECT_EQ(listing.next(), "b.jpg");
    EXPECT_EQ(listing.next(), "c.TXT");
    EXPECT_EQ(listing.next(), "link.jpg");
    EXPECT_EQ(listing.next(), QString());

    // Names that differ in case: a case-sensitive order would put "B.jpg" first.
    QDir(tmp.path()).mkdir(QStringLiteral("cases"));
    for (const char *n : {"B.jpg", "a.jpg", "C.jpg", "b2.jpg"})
        writeBytes(path(QStringLiteral("cases/") + n), "x");
    EXPECT_EQ(listPlainFiles(path("cases")), QStringList({"a.jpg", "B.jpg", "b2.jpg", "C.jpg"}));
}

TEST_F(FilesTest, NamesThatAreNotUtf8AreKeptApartAndShownByTheirBytes)
{
    writeBytes(path("ok.jpg"), "x");
    ASSERT_TRUE(testsupport::writeBytesRawName(tmp.path(), "Z\xff\xfe.jpg", "x"));
    ASSERT_TRUE(testsupport::writeBytesRawName(tmp.path(), "caf\xc3\xa9-\xe9t\xe9.bmp", "x"));   // UTF-8 then Latin-1
    ASSERT_TRUE(testsupport::writeBytesRawName(tmp.path(), ".hidden\xff.jpg", "x"));
    ASSERT_EQ(::mkdir((QFile::encodeName(tmp.path()) + "/dir\xff.jpg").constData(), 0755), 0);
    FolderListing listing(tmp.path());
    EXPECT_EQ(listing.names(), QStringList{"ok.jpg"});
    EXPECT_EQ(listing.namesNotUtf8(),
              QStringList({QString::fromUtf8("caf\xc3\xa9-\\xE9t\\xE9.bmp"), "Z\\xFF\\xFE.jpg"}));
    EXPECT_EQ(listNamesNotUtf8(path("nope")), QStringList());
}

TEST_F(FilesTest, RenameNeverReplacesAndFreeNamesAvoidTakenOnes)
{
    writeBytes(path("a"), "first");
    writeBytes(path("b"), "second");
    EXPECT_NE(errorNumber([&] { renameNoReplace(path("a"), path("b")); }), 0);
    EXPECT_EQ(readBytes(path("a")), "first");
    EXPECT_EQ(readBytes(path("b")), "second");
    renameNoReplace(path("a"), path("c"));
    EXPECT_EQ(readBytes(path("c")), "first");
    EXPECT_FALSE(QFile::exists(path("a")));

    EXPECT_EQ(freeFileName(tmp.path(), "x", ".bmp"), "x.bmp");
    writeBytes(path("x.bmp"), "mine");
    writeBytes(path("x~1.bmp"), "mine too");
    EXPECT_EQ(freeFileName(tmp.path(), "x", ".bmp"), "x~2.bmp");
    // A dangling link takes its name too: writing there would create the file it points to.
    QFile::link(path("nowhere/file"), path("x~2.bmp"));
    EXPECT_EQ(freeFileName(tmp.path(), "x", ".bmp"), "x~3.bmp");
    QFile::link(path("missing"), path("y.jpg"));
    EXPECT_EQ(freeFileName(tmp.path(), "y", ".jpg"), "y~1.jpg");
    EXPECT_EQ(errorNumber([&] { deleteFile(path("gone")); }), err::FileNotFound);
}

TEST_F(FilesTest, SeparatorsAreNeverDoubled)
{
    EXPECT_EQ(withSeparator("/"), "/");
    EXPECT_EQ(withSeparator("/pics"), "/pics/");
    EXPECT_EQ(withSeparator("/pics/"), "/pics/");
    EXPECT_EQ(fileNamePart("/pics/a.jpg"), "a.jpg");
    EXPECT_EQ(folderPart("/pics/a.jpg"), "/pics/");
    EXPECT_EQ(folderPart("/a.jpg"), "/");
}

TEST_F(FilesTest, SavedBitmapHasClassicHeaderAndLoadsBackWithItsSizeInHimetric)
{
    QImage img = testsupport::gradientImage(3, 2);
    savePicture(img, path("out.jpg"));   // a bitmap whatever the extension
    const QByteArray bytes = readBytes(path("out.jpg"));
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), "BM");
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 14), 40u);
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 28), 24u);
    EXPECT_EQ(bytes.size(), 54 + 2 * 12);   // rows of 9 bytes padded to 12

    Picture p = loadPicture(path("out.jpg"));
    ASSERT_EQ(p.image().size(), QSize(3, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(p.image().pixel(x, y) & 0xFFFFFF, img.pixel(x, y) & 0xFFFFFF);
    // 96 dpi: 96 pixels are one inch, 2540 HIMETRIC.
    QImage inch(96, 48, QImage::Format_RGB32);
    inch.fill(Qt::gray);
    savePicture(inch, path("inch.bmp"));
    Picture q = loadPicture(path("inch.bmp"));
    EXPECT_EQ(q.widthHimetric(), 2540);
    EXPECT_EQ(q.heightHimetric(), 1270);

    EXPECT_EQ(errorNumber([&] { savePicture(img, path("no/such/folder/x.bmp")); }),
              err::PathNotFound);
    // A folder where the file is to go is named as what it is.
    EXPECT_EQ(errorNumber([&] { savePicture(img, tmp.path()); }), err::NotAFile);
}

TEST_F(FilesTest, ABitmapWrittenABandAtATimeHoldsEveryRowInItsPlace)
{
    // Tall enough for several bands of rows, and not a whole number of them.
    QImage img = testsupport::gradientImage(500, 2000);
    for (int y = 0; y < img.height(); y += 37)
        img.setPixel(y % img.width(), y, qRgb(255, 0, 255));   // rows told apart
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_Indexed8}) {
        SCOPED_TRACE(int(format));
        const QImage source = img.convertToFormat(format);
        std::vector<std::pair<int, int>> asked;
        savePicture(source.size(),
                    [&](int top, int rows) {
                        asked.emplace_back(top, rows);
                        return source.copy(0, top, source.width(), rows);
                    },
                    path("bands.bmp"));
        // Every row asked for once, from the bottom up, as the file holds them.
        ASSERT_GT(asked.size(), 2u);
        int below = source.height();
        for (const auto &[top, rows] : asked) {
            EXPECT_EQ(top + rows, below);
            below = top;
        }
        EXPECT_EQ(below, 0);
        const QByteArray bytes = readBytes(path("bands.bmp"));
        EXPECT_EQ(bytes.size(), 54 + 1500 * 2000);
        // The same file as the whole image written at once, and the same pixels.
        savePicture(source, path("whole.bmp"));
        EXPECT_EQ(readBytes(path("whole.bmp")), bytes);
        EXPECT_EQ(QImage(path("bands.bmp")).convertToFormat(QImage::Format_RGB888),
                  source.convertToFormat(QImage::Format_RGB888));
    }
}

TEST_F(FilesTest, BrokenPicturesFailCleanly)
{
    EXPECT_EQ(errorNumber([&] { loadPicture(path("missing.jpg")); }), err::FileNotFound);
    writeBytes(path("text.jpg"), "this is not a picture\n");
    EXPECT_EQ(errorNumber([&] { loadPicture(path("text.jpg")); }), err::InvalidPicture);
    writeBytes(path("empty.bmp"), "");
    EXPECT_EQ(errorNumber([&] { loadPicture(path("empty.bmp")); }), err::InvalidPicture);

    // A JPEG cut in half.
    QImage photo = testsupport::gradientImage(200, 200);
    photo.save(path("whole.jpg"), "JPEG", 90);
    QByteArray jpeg = readBytes(path("whole.jpg"));
    writeBytes(path("cut.jpg"), jpeg.left(jpeg.size() / 2));
    EXPECT_EQ(errorNumber([&] { loadPicture(path("cut.jpg")); }), err::InvalidPicture);
    EXPECT_EQ(errorNumber([&] { loadPicture(path("whole.jpg")); }), 0);

    // A PNG whose header claims 100000 x 100000 pixels.
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(Qt::red);
    small.save(path("small.png"));
    QByteArray png = readBytes(path("small.png"));
    qToBigEndian<quint32>(100000, png.data() + 16);
    qToBigEndian<quint32>(100000, png.data() + 20);
    writeBytes(path("huge.png"), png);
    EXPECT_EQ(errorNumber([&] { loadPicture(path("huge.png")); }), err::InvalidPicture);
}

TEST_F(FilesTest, LargePicturesDecodeReducedButReportTheirOwnSize)
{
    QImage photo = testsupport::gradientImage(1600, 1200);
    photo.save(path("big.jpg"), "JPEG", 90);
    Picture p = loadPicture(path("big.jpg"), [](QSize original) { return original / 4; });
    EXPECT_EQ(p.pixelSize(), QSize(1600, 1200));
    EXPECT_EQ(p.image().size(), QSize(400, 300));
    Picture full = loadPicture(path("big.jpg"), [](QSize original) { return original * 2; });
    EXPECT_EQ(full.image().size(), QSize(1600, 1200));
}
