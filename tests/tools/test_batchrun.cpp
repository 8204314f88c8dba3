// The plain parts of the batch run: names, the invalid list, the fit, the report, the
// conversion through FreeImage and the intermediate file.
#include "ToolTestSupport.h"

#include "platform/Errors.h"
#include "platform/Picture.h"
#include "tools/BatchRun.h"

#include <QFile>
#include <QImageReader>

using namespace tools;

TEST(BatchRunNames, ExtensionIsLowerCasedAndOnlyAcceptedOnesPass)
{
    const QStringList accepted = {QStringLiteral(".bmp"), QStringLiteral(".jpg")};
    const EntryName photo = splitEntryName(QStringLiteral("Photo.JPG"));
    EXPECT_EQ(photo.curext, QStringLiteral(".jpg"));
    EXPECT_EQ(photo.basename, QStringLiteral("Photo"));
    EXPECT_TRUE(isAcceptedExtension(photo.curext, accepted));

    const EntryName twoDots = splitEntryName(QStringLiteral("my.holiday.jpeg"));
    EXPECT_EQ(twoDots.curext, QStringLiteral(".jpeg"));
    EXPECT_EQ(twoDots.basename, QStringLiteral("my.holiday"));
    EXPECT_FALSE(isAcceptedExtension(twoDots.curext, accepted));

    const EntryName bare = splitEntryName(QStringLiteral("README"));
    EXPECT_TRUE(bare.curext.isEmpty());
    EXPECT_FALSE(isAcceptedExtension(bare.curext, accepted));
}

TEST(BatchRunNames, InvalidFilesAreListedNewestFirst)
{
    QString list;
    qint16 count = 0;
    bool flag = false;
    for (const char *name : {"x", "y", "z"})
        noteInvalid(list, count, flag, QString::fromLatin1(name));
    EXPECT_EQ(list, QStringLiteral("z ; y ; x ; "));
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(flag);
}

TEST(BatchRunFit, WidthFirstThenHeightStrictAndNeverEnlarged)
{
    const FitResult small = fitInto(100, 50, 1000, 500);
    EXPECT_EQ(small.width, 100);
    EXPECT_EQ(small.height, 50);
    EXPECT_FALSE(small.reducedWidth || small.reducedHeight);

    const FitResult exact = fitInto(1000, 500, 1000, 500);   // equal is not larger
    EXPECT_FALSE(exact.reducedWidth || exact.reducedHeight);

    const FitResult wide = fitInto(2000, 400, 1000, 500);
    EXPECT_EQ(wide.width, 1000);
    EXPECT_EQ(wide.height, 200);
    EXPECT_TRUE(wide.reducedWidth);
    EXPECT_FALSE(wide.reducedHeight);

    const FitResult both = fitInto(2000, 2000, 1000, 500);   // 1000 × 1000 after the width step
    EXPECT_EQ(both.width, 500);
    EXPECT_EQ(both.height, 500);
    EXPECT_TRUE(both.reducedWidth && both.reducedHeight);

    const FitResult tall = fitInto(300, 1000, 1000, 500);
    EXPECT_EQ(tall.width, 150);
    EXPECT_FALSE(tall.reducedWidth);
    EXPECT_TRUE(tall.reducedHeight);
}

TEST(BatchRunReport, PiecesAreJoinedWithTheirGaps)
{
    const ReportTexts t{QStringLiteral("Inserting text for "), QStringLiteral(" file(s) DONE."),
                        QStringLiteral("H:-"), QStringLiteral("--  "),
                        QStringLiteral("Total invalid file(s) : ")};
    const QString report = completionReport(t, 2, QStringLiteral("a.txt ; "), 1);
    const QStringList lines = report.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], QStringLiteral("Inserting text for 2 file(s) DONE."));
    EXPECT_EQ(lines[1], QString(28, QLatin1Char(' ')));
    EXPECT_EQ(lines[2], QStringLiteral("H:-"));
    EXPECT_EQ(lines[3], QStringLiteral("--  "));
    EXPECT_EQ(lines[4], QString(35, QLatin1Char(' ')));
    EXPECT_EQ(lines[5], QStringLiteral("a.txt ; "));
    EXPECT_EQ(lines[6], QString(35, QLatin1Char(' ')));
    EXPECT_EQ(lines[7], QStringLiteral("Total invalid file(s) : 1"));
}

class BatchRunFiles : public tooltest::ToolFixture {};

TEST_F(BatchRunFiles, ConversionWritesJpegOrBitmapFromOurOwnBitmap)
{
    const QImage picture = testsupport::gradientImage(40, 30);
    platform::savePicture(picture, at(QStringLiteral("tmp.bmp")));
    convertBitmapFile(at(QStringLiteral("tmp.bmp")), at(QStringLiteral("o.jpg")), kFormatJpeg);
    convertBitmapFile(at(QStringLiteral("tmp.bmp")), at(QStringLiteral("o.png")), formatCodeFor(QStringLiteral(".png")));
    QImageReader jpeg(at(QStringLiteral("o.jpg")));
    EXPECT_EQ(jpeg.format(), QByteArray("jpeg"));
    EXPECT_EQ(jpeg.size(), QSize(40, 30));
    // Not a ".jpg" source: a bitmap under its own extension, pixel for pixel.
    QImageReader bmp(at(QStringLiteral("o.png")));
    bmp.setDecideFormatFromContent(true);
    EXPECT_EQ(bmp.format(), QByteArray("bmp"));
    EXPECT_EQ(bmp.read().convertToFormat(QImage::Format_RGB32), picture);
}

TEST_F(BatchRunFiles, ConversionFailuresRaiseAndWriteNothing)
{
    // Not a bitmap at all, a bitmap FreeImage refuses, and a target that cannot be written.
    testsupport::writeBytes(at(QStringLiteral("text.bmp")), "not a bitmap");
    EXPECT_THROW(convertBitmapFile(at(QStringLiteral("text.bmp")), at(QStringLiteral("a.jpg")), kFormatJpeg),
                 platform::AppError);
    EXPECT_THROW(convertBitmapFile(at(QStringLiteral("missing.bmp")), at(QStringLiteral("b.jpg")), kFormatJpeg),
                 platform::AppError);
    platform::savePicture(testsupport::gradientImage(8, 8), at(QStringLiteral("ok.bmp")));
    try {
        convertBitmapFile(at(QStringLiteral("ok.bmp")), out + QStringLiteral("/no/such/c.jpg"), kFormatJpeg);
        FAIL() << "a save into a missing folder must fail";
    } catch (const platform::AppError &e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("c.jpg")));
    }
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("ok.bmp"), QStringLiteral("text.bmp")}));
}

TEST_F(BatchRunFiles, IntermediateNeverTakesAnExistingNameAndLeavesNothing)
{
    testsupport::writeBytes(at(QStringLiteral("adtx-a.bmp")), "user's own file");
    QString used;
    {
        IntermediateFile tmp(out, QStringLiteral("adtx-a"), QStringLiteral(".bmp"));
        used = tmp.path();
        EXPECT_NE(used, at(QStringLiteral("adtx-a.bmp")));
        tmp.write(testsupport::gradientImage(4, 4));
        EXPECT_TRUE(QFile::exists(used));
    }
    EXPECT_FALSE(QFile::exists(used));
    EXPECT_EQ(testsupport::readBytes(at(QStringLiteral("adtx-a.bmp"))), QByteArray("user's own file"));
    EXPECT_THROW(IntermediateFile(out + QStringLiteral("/gone"), QStringLiteral("x"), QStringLiteral(".bmp")),
                 platform::AppError);
}

TEST_F(BatchRunFiles, LargeJpegIsDecodedSmallerButNeverBelowThePaintSize)
{
    QImage big(2400, 1600, QImage::Format_RGB32);
    big.fill(Qt::darkGreen);
    ASSERT_TRUE(big.save(in(QStringLiteral("big.jpg")), "JPEG"));
    const QSize wanted(700, 466);
    const platform::Picture p =
        platform::loadPicture(in(QStringLiteral("big.jpg")), [&](QSize) { return wanted; });
    EXPECT_EQ(p.pixelSize(), QSize(2400, 1600));   // the fit still sees the file's own size
    EXPECT_GE(p.image().width(), wanted.width());
    EXPECT_GE(p.image().height(), wanted.height());
    EXPECT_LT(p.image().width(), 2400);
}
