// The plain parts of the batch run that the window tests cannot reach precisely: the fit
// arithmetic, the encoder and the output's failures.
#include "ToolTestSupport.h"

#include "platform/Errors.h"
#include "platform/Picture.h"
#include "tools/BatchRun.h"
#include "tools/picture/Encode.h"
#include "tools/picture/Output.h"
#include "app/Cli.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <FreeImage.h>

#include <csignal>
#include <sys/resource.h>

using namespace tools;

TEST(BatchRunFit, WidthFirstThenHeightStrictAndNeverEnlarged)
{
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

class BatchRunFiles : public tooltest::ToolFixture {};

namespace {

const platform::formats::Format &formatOf(platform::formats::Id id) { return platform::formats::get(id); }

// Encoded and written whole, as a run writes an output.
void writeEncoded(const QImage &image, platform::formats::Id id, const QString &path)
{
    picture::writeAtomically(picture::encode(image, formatOf(id), 75, path), path);
}

} // namespace

TEST_F(BatchRunFiles, EncodingAndWritingFailuresRaiseAndWriteNothing)
{
    // Nothing to encode, a format Pixmar never writes, and a target that cannot be written.
    EXPECT_THROW(picture::encode(QImage(), formatOf(platform::formats::Id::Jpeg), 75, at(QStringLiteral("a.jpg"))),
                 platform::AppError);
    EXPECT_THROW(picture::encode(testsupport::gradientImage(8, 8), formatOf(platform::formats::Id::Gif), 75,
                                 at(QStringLiteral("b.gif"))),
                 platform::AppError);
    try {
        writeEncoded(testsupport::gradientImage(8, 8), platform::formats::Id::Jpeg,
                     out + QStringLiteral("/no/such/c.jpg"));
        FAIL() << "a save into a missing folder must fail";
    } catch (const platform::AppError &e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("c.jpg")));
    }
    EXPECT_TRUE(outFiles().isEmpty());
}

TEST_F(BatchRunFiles, AnOutputTheFileSystemRefusesPartWayIsAnErrorAndLeavesNothing)
{
    // A write refused half way must not pass as a file.
    QImage noise(200, 200, QImage::Format_RGB32);   // too much for any format to pack into 4 KB
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 251, (x * 31 + y * y) % 241, (x * x + y * 17) % 239));
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;   // as a disk that is full after 4 KB
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QStringList failures;
    using platform::formats::Id;
    for (const auto &[name, format] : {std::pair{"adt-a.bmp", Id::Bmp}, std::pair{"adt-a.png", Id::Png},
                                       std::pair{"adt-a.tif", Id::Tiff}}) {
        try {
            writeEncoded(noise, format, at(QLatin1String(name)));
        } catch (const platform::AppError &e) {
            failures << e.description();
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    ASSERT_EQ(failures.size(), 3) << failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(failures[0].contains(QStringLiteral("adt-a.bmp")));
    EXPECT_TRUE(QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(BatchRunFiles, OutputReplacesALinkInsteadOfWritingThroughIt)
{
    QTemporaryDir elsewhere;
    const QString precious = elsewhere.filePath(QStringLiteral("precious.jpg"));
    testsupport::writeBytes(precious, "the user's own file");
    ASSERT_TRUE(QFile::link(precious, at(QStringLiteral("adt-a.jpg"))));
    writeEncoded(testsupport::gradientImage(8, 8), platform::formats::Id::Jpeg, at(QStringLiteral("adt-a.jpg")));
    EXPECT_EQ(testsupport::readBytes(precious), "the user's own file");
    const QFileInfo written(at(QStringLiteral("adt-a.jpg")));
    EXPECT_FALSE(written.isSymLink());
    EXPECT_EQ(QImage(written.filePath()).size(), QSize(8, 8));
    EXPECT_TRUE(written.permissions() & QFileDevice::ReadOther);
    // No staging file is left beside the output.
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(BatchRunFiles, EncodingFromBandsGivesTheSameFileAsFromTheWholePicture)
{
    // A picture turned as it is encoded must not differ from one encoded whole.
    const QImage picture = testsupport::gradientImage(37, 1000);
    using platform::formats::Id;
    for (Id id : {Id::Jpeg, Id::Bmp, Id::Png, Id::Tiff}) {
        const QByteArray whole = picture::encode(picture, formatOf(id), 75, QStringLiteral("x"));
        const QByteArray banded = picture::encode(picture.size(), platform::bandsOf(picture), formatOf(id), 75,
                                                  QStringLiteral("x"));
        EXPECT_EQ(whole, banded) << formatOf(id).filterName;
        EXPECT_EQ(QImage::fromData(whole).size(), picture.size());
    }
    // The picture handed over keeps its pixels for whoever else holds it.
    const QImage kept = picture;
    picture::encode(kept, formatOf(Id::Bmp), 75, QStringLiteral("x"));
    EXPECT_EQ(kept, testsupport::gradientImage(37, 1000));
}

TEST(BatchRunMessages, AFileNameThatLooksLikeMarkupIsShownAsItIs)
{
    // The question about a file names it; the desktop's box must not take the name for markup
    // (nor the line break before "Continue?" for a blank).
    const QString text = QStringLiteral("Invalid picture: /p/<b>x</b>.jpg\r\nContinue?");
    QSize literal, shown;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        const QFontMetrics fm(label->font());
        literal = QSize(fm.horizontalAdvance(text.section(QLatin1Char('\r'), 0, 0)), fm.lineSpacing() + fm.height());
        shown = label->sizeHint();
        box->button(QMessageBox::No)->click();
    });
    platform::QtToolkit desktop;
    EXPECT_EQ(desktop.messageBox(text, QStringLiteral("Error"), platform::MsgIcon::Error,
                                 platform::MsgButtons::YesNo),
              platform::MsgResult::No);
    EXPECT_GE(shown.width(), literal.width());     // the name with its "<b>" and "</b>"
    EXPECT_GE(shown.height(), literal.height());   // and "Continue?" on a line of its own
}

TEST_F(BatchRunFiles, TheOutputIsInTheFormatItsExtensionNames)
{
    // Through the text tool, which takes all four; the content is judged by its first bytes.
    const QStringList names = {QStringLiteral("a.png"), QStringLiteral("b.bmp"), QStringLiteral("c.tif"),
                               QStringLiteral("d.jpg")};
    for (const QString &name : names)
        ASSERT_TRUE(testsupport::gradientImage(40, 30).save(in(name)));
    app::CliSession session;
    ASSERT_EQ(app::cliText(session, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                     QStringLiteral("--text"), QStringLiteral("x")}),
              app::kExitOk);
    const QList<QByteArray> magic = {QByteArray("\x89PNG\r\n\x1a\n", 8), QByteArray("BM"),
                                     QByteArray("II*\0", 4), QByteArray("\xFF\xD8\xFF", 3)};
    for (int i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        const QByteArray written = testsupport::readBytes(at(QStringLiteral("adt-") + names[i]));
        EXPECT_TRUE(written.startsWith(magic[i]));
        EXPECT_EQ(QImage(at(QStringLiteral("adt-") + names[i])).size(), QSize(40, 30));
    }
}

TEST(BatchRunReport, SkippedFilesAreCountedPastWhatSixteenBitsHold)
{
    QString list;
    int count = 0;
    for (int i = 0; i < 33000; ++i)
        noteInvalid(list, count, QStringLiteral("f%1.txt").arg(i));
    EXPECT_EQ(count, 33000);
    EXPECT_TRUE(list.startsWith(QStringLiteral("f32999.txt ; f32998.txt ; ")));
    EXPECT_TRUE(completionReport({}, 33000, list, count).endsWith(QStringLiteral("33000")));
}

TEST_F(BatchRunFiles, AJpegWrittenInBandsIsTheSameBytesAsFromTheWholePicture)
{
    // Odd sides (not whole blocks), both pixel layouts a band may come in, several qualities.
    const QImage whole = testsupport::gradientImage(1203, 517).convertToFormat(QImage::Format_RGB32);
    for (const QImage::Format layout : {QImage::Format_RGB32, QImage::Format_RGB888})
        for (const int quality : {75, 92, 31}) {
            const QImage given = whole.convertToFormat(layout);
            const QByteArray fromWhole =
                picture::encode(given, formatOf(platform::formats::Id::Jpeg), quality, at(QStringLiteral("a.jpg")));
            const QByteArray fromBands = picture::encode(
                given.size(), [&given](int top, int rows) { return given.copy(0, top, given.width(), rows); },
                formatOf(platform::formats::Id::Jpeg), quality, at(QStringLiteral("a.jpg")));
            EXPECT_EQ(fromBands, fromWhole) << int(layout) << " " << quality;
        }
}

namespace {

// What FreeImage's own JPEG writer makes of `picture` (brought to 24 bits as the encoder always
// brought it) at 96 dpi: the bytes pixmar's outputs have always had.
QByteArray freeImageJpeg(const QImage &picture, int quality)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    FIBITMAP *bitmap = FreeImage_Allocate(rgb.width(), rgb.height(), 24);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar *src = rgb.constScanLine(y);
        uchar *dst = FreeImage_GetScanLine(bitmap, rgb.height() - 1 - y);
        for (int x = 0; x < rgb.width(); ++x) {
            dst[3 * x + FI_RGBA_RED] = src[3 * x];
            dst[3 * x + FI_RGBA_GREEN] = src[3 * x + 1];
            dst[3 * x + FI_RGBA_BLUE] = src[3 * x + 2];
        }
    }
    FreeImage_SetDotsPerMeterX(bitmap, 3780);
    FreeImage_SetDotsPerMeterY(bitmap, 3780);
    FIMEMORY *memory = FreeImage_OpenMemory();
    FreeImage_SaveToMemory(FIF_JPEG, bitmap, memory, quality == 75 ? 0 : quality);
    BYTE *data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    const QByteArray out(reinterpret_cast<const char *>(data), qsizetype(size));
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(bitmap);
    return out;
}

// Red, green and blue each running their own way, so that colours taken in the wrong order or
// rows taken from the wrong place show.
QImage unevenColours(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) & 0xFF, (y * 5 + x * x) & 0xFF, (x * y / 3 + 40) & 0xFF));
    return image;
}

} // namespace

TEST_F(BatchRunFiles, AJpegIsTheSameBytesAsFreeImageWritesWhateverLayoutItComesIn)
{
    // Odd sides, every layout a drawn picture comes in, the qualities at both ends and the
    // default (which FreeImage takes as no quality at all).
    using platform::formats::Id;
    const QImage picture = unevenColours(1203, 517);
    for (const QImage::Format layout : {QImage::Format_RGB32, QImage::Format_RGB888,
                                        QImage::Format_ARGB32_Premultiplied, QImage::Format_ARGB32})
        for (const int quality : {1, 31, 75, 100}) {
            const QImage given = picture.convertToFormat(layout);
            const QByteArray expected = freeImageJpeg(given, quality);
            ASSERT_FALSE(expected.isEmpty());
            EXPECT_EQ(picture::encode(given, formatOf(Id::Jpeg), quality, at(QStringLiteral("a.jpg"))), expected)
                << int(layout) << " " << quality;
            EXPECT_EQ(picture::encode(given.size(), platform::bandsOf(given), formatOf(Id::Jpeg), quality,
                                      at(QStringLiteral("a.jpg"))),
                      expected)
                << int(layout) << " " << quality;
        }
}

TEST_F(BatchRunFiles, AJpegWhoseBandsComeInMixedLayoutsAndHeightsIsTheSameBytes)
{
    // A band source may hand over rows in another layout than its first band's, and fewer or
    // more rows than one band holds; a picture only one row high has a single band.
    using platform::formats::Id;
    for (const QSize size : {QSize(640, 1700), QSize(2500, 1), QSize(3, 900)}) {
        const QImage picture = unevenColours(size.width(), size.height());
        const QByteArray expected = freeImageJpeg(picture, 75);
        const QByteArray mixed = picture::encode(
            size,
            [&picture](int top, int rows) {
                const QImage band = picture.copy(0, top, picture.width(), rows);
                return (top / rows) % 2 ? band.convertToFormat(QImage::Format_RGB888) : band;
            },
            formatOf(Id::Jpeg), 75, at(QStringLiteral("a.jpg")));
        EXPECT_EQ(mixed, expected) << size.width() << "x" << size.height();
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        EXPECT_EQ(picture::encode(size, platform::bandsOf(rgb), formatOf(Id::Jpeg), 75, at(QStringLiteral("a.jpg"))),
                  expected)
            << size.width() << "x" << size.height();
    }
}
