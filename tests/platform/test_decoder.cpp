// The one picture decoder, seen through both of its users: the toolkit's picture loader and
// the imaging library stand-in. Each case is checked on both, so that they cannot disagree.
#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "platform/GdiPlus.h"
#include "platform/Picture.h"
#include "support/JpegSamples.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QtEndian>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

using namespace platform;
namespace gp = platform::gdiplus;
using testsupport::writeBytes;

namespace {

struct Decoding : ::testing::Test {
    Decoding()
    {
        gp::GdiplusStartupInput input;
        gp::GdiplusStartup(&token, &input, nullptr);
    }
    ~Decoding() override { gp::GdiplusShutdown(token); }
    QString path(const QString &name) const { return tmp.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes) const
    {
        EXPECT_TRUE(writeBytes(path(name), bytes));
        return path(name);
    }

    // What the picture loader says: 0 for a picture, else the error number.
    static qint64 loaderError(const QString &file, QString *description = nullptr)
    {
        try {
            loadPicture(file);
        } catch (const AppError &e) {
            if (description)
                *description = e.description();
            return e.number();
        }
        return 0;
    }
    // What the imaging library says.
    static gp::GpStatus libraryStatus(const QString &file, QImage *pixels = nullptr)
    {
        gp::GpImage *img = nullptr;
        const gp::GpStatus s = gp::GdipLoadImageFromFile(gp::widePath(file), &img);
        if (s == gp::Ok && pixels) {
            // Drawn one to one onto transparent black: what a caller gets of the pixels.
            std::uint32_t w = 0, h = 0;
            gp::GdipGetImageWidth(img, &w);
            gp::GdipGetImageHeight(img, &h);
            *pixels = QImage(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
            pixels->fill(Qt::transparent);
            gp::GpGraphics *g = nullptr;
            gp::GdipCreateFromHDC(pixels, &g);
            gp::GdipDrawImageRectI(g, img, 0, 0, int(w), int(h));
            gp::GdipDeleteGraphics(g);
        }
        if (img)
            gp::GdipDisposeImage(img);
        return s;
    }

    gp::ULONG_PTR token = 0;
    testsupport::ScriptedFixture fx;
    QTemporaryDir tmp;
};

// The JPEG's entropy-coded data cut in the middle.
QByteArray cutInData(const QByteArray &jpeg) { return jpeg.left(jpeg.size() * 2 / 3); }

} // namespace

TEST_F(Decoding, DataAfterTheEndMarkerIsNoTruncation)
{
    const QByteArray jpeg = testsupport::jpegBytes(320, 240);
    const QByteArray progressive = testsupport::jpegBytes(320, 240, true);
    // Phones append a whole video after the picture; its bytes hold markers of every kind.
    QByteArray video(256 * 1024, '\0');
    for (qsizetype i = 0; i < video.size(); ++i)
        video[i] = char((i * 7919) >> 3);
    for (const auto &[name, tail] : std::vector<std::pair<QString, QByteArray>>{
             {"tail64k.jpg", QByteArray(64 * 1024, 'x')},
             {"motion.jpg", video},
             {"tail1.jpg", QByteArray(1, '\0')}}) {
        const QString f = write(name, jpeg + tail);
        EXPECT_EQ(loaderError(f), 0) << name.toStdString();
        EXPECT_EQ(libraryStatus(f), gp::Ok) << name.toStdString();
        write(name, progressive + tail);
        EXPECT_EQ(loaderError(f), 0) << name.toStdString();
        EXPECT_EQ(libraryStatus(f), gp::Ok) << name.toStdString();
    }
}

TEST_F(Decoding, PicturesCompletedWithFillerAreRefusedAsDamaged)
{
    const QByteArray jpeg = testsupport::jpegBytes(320, 240);
    const QByteArray bmp = testsupport::bitmapBytes(64, 48);
    QByteArray offsetPastEnd = bmp;
    qToLittleEndian<quint32>(quint32(bmp.size() + 100), offsetPastEnd.data() + 10);
    const QByteArray progressive = testsupport::jpegBytes(320, 240, true);
    // Rows of 6 GB each, two thousand million of them: their bytes overflow any 64-bit count.
    const QByteArray endlessRows = testsupport::bitmapHeaderOnly(std::numeric_limits<qint32>::min(),
                                                                 std::numeric_limits<qint32>::max())
        + QByteArray(16, '\0');
    const std::vector<std::pair<QString, QByteArray>> damaged = {
        {"cut.jpg", cutInData(jpeg)},
        {"cut-progressive.jpg", cutInData(progressive) + QByteArray("\xFF\xD9", 2)},
        {"cut-end.jpg", cutInData(jpeg) + QByteArray("\xFF\xD9", 2)},
        {"cut.bmp", bmp.left(bmp.size() / 2)},
        {"offset.bmp", offsetPastEnd},
        {"endless.bmp", endlessRows},
    };
    for (const auto &[name, bytes] : damaged) {
        const QString f = write(name, bytes);
        QString description;
        EXPECT_EQ(loaderError(f, &description), err::InvalidPicture) << name.toStdString();
        EXPECT_TRUE(description.contains(QDir::toNativeSeparators(f))) << description.toStdString();
        EXPECT_TRUE(description.contains(QStringLiteral("damaged"), Qt::CaseInsensitive)) << description.toStdString();
        EXPECT_EQ(libraryStatus(f), gp::UnknownImageFormat) << name.toStdString();
        // Decoded reduced for a preview, the same.
        decoder::Hints reduced;
        reduced.drawnSize = [](QSize original) { return original / 3; };
        EXPECT_EQ(decoder::decode(f, reduced).failure, decoder::decode(f).failure) << name.toStdString();
    }
    // The whole ones still load.
    EXPECT_EQ(loaderError(write("whole.jpg", jpeg)), 0);
    EXPECT_EQ(loaderError(write("whole.bmp", bmp)), 0);
    EXPECT_EQ(libraryStatus(path("whole.bmp")), gp::Ok);
}

TEST_F(Decoding, PathsThatAreNotFilesAreRefusedWithoutWaiting)
{
    const QString fifo = path("pipe.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QDir(tmp.path()).mkdir(QStringLiteral("folder.jpg"));
    QFile::link(fifo, path("link-to-pipe.jpg"));
    QElapsedTimer clock;
    clock.start();
    for (const QString &f : {fifo, path("folder.jpg"), path("link-to-pipe.jpg"), QStringLiteral("/dev/null")}) {
        QString description;
        EXPECT_EQ(loaderError(f, &description), err::NotAFile) << f.toStdString();
        EXPECT_TRUE(description.contains(QDir::toNativeSeparators(f))) << description.toStdString();
        EXPECT_EQ(libraryStatus(f), gp::AccessDenied) << f.toStdString();
    }
    EXPECT_EQ(loaderError(path("missing.jpg")), err::FileNotFound);
}

TEST_F(Decoding, TheTotalPixelLimitHoldsWhereNoSideIsOverIt)
{
    // 15000 × 14000 is 210 million pixels: each side is allowed, the total is not.
    constexpr int kRgb = 2;
    for (const auto &[name, bytes] : std::vector<std::pair<QString, QByteArray>>{
             {"wide.bmp", testsupport::bitmapHeaderOnly(15000, 14000)},
             {"wide.png", testsupport::pngFile({{"IHDR", testsupport::pngHeader(15000, 14000, 8, kRgb)},
                                                {"IDAT", {}},
                                                {"IEND", {}}})}}) {
        const QString f = write(name, bytes);
        QString description;
        EXPECT_EQ(loaderError(f, &description), err::InvalidPicture) << name.toStdString();
        EXPECT_TRUE(description.contains(QStringLiteral("too large"))) << description.toStdString();
        EXPECT_EQ(libraryStatus(f), gp::ValueOverflow) << name.toStdString();
    }
}

TEST_F(Decoding, SixteenBitTruecolourWithATransparentColourKeepsItsPixels)
{
    // Every pixel written by hand, with the tRNS colour at known places; compared with what
    // both paths decode, sixteen bits a channel for the loader.
    constexpr int kW = 5, kH = 3, kRgb = 2;
    const std::array<std::array<quint16, 3>, 4> colours = {{
        {0x1234, 0x5678, 0x9ABC}, {0xFFFF, 0x0000, 0x0000}, {0x0000, 0xFFFF, 0x0000}, {0x1111, 0x2222, 0x3333}}};
    const std::array<quint16, 3> transparent = colours[1];
    auto colourAt = [&](int x, int y) { return colours[size_t((x + 2 * y) % 4)]; };
    QByteArray scanlines;
    for (int y = 0; y < kH; ++y) {
        scanlines += '\0';   // no filter
        for (int x = 0; x < kW; ++x)
            for (quint16 c : colourAt(x, y)) {
                scanlines += char(c >> 8);
                scanlines += char(c & 0xFF);
            }
    }
    QByteArray trns;
    for (quint16 c : transparent) {
        trns += char(c >> 8);
        trns += char(c & 0xFF);
    }
    const QString f = write("deep.png", testsupport::pngFile({{"IHDR", testsupport::pngHeader(kW, kH, 16, kRgb)},
                                                              {"tRNS", trns},
                                                              {"IDAT", testsupport::pngStoredData(scanlines)},
                                                              {"IEND", {}}}));
    const QImage loaded = loadPicture(f).image();
    ASSERT_EQ(loaded.size(), QSize(kW, kH));
    QImage drawn;
    ASSERT_EQ(libraryStatus(f, &drawn), gp::Ok);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const auto c = colourAt(x, y);
            const bool clear = c == transparent;
            const QRgba64 p = loaded.pixelColor(x, y).rgba64();
            EXPECT_EQ(p.red(), c[0]) << x << "," << y;
            EXPECT_EQ(p.green(), c[1]) << x << "," << y;
            EXPECT_EQ(p.blue(), c[2]) << x << "," << y;
            EXPECT_EQ(p.alpha(), clear ? 0 : 0xFFFF) << x << "," << y;
            const QRgb q = drawn.pixel(x, y);
            EXPECT_EQ(q, clear ? qRgba(0, 0, 0, 0) : qRgba(c[0] >> 8, c[1] >> 8, c[2] >> 8, 255))
                << x << "," << y;
        }
}

TEST_F(Decoding, LargeTiffsKeepEveryRowThroughTheBandedConversion)
{
    // Taller than several bands of the conversion, and not a whole number of them; true
    // colour, and with alpha. The toolkit's own TIFF reader is the reference.
    QImage picture = testsupport::gradientImage(301, 1000).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        picture.setPixel(y % picture.width(), y, qRgba(255, 0, 255, y % 2 ? 255 : 128));   // rows told apart
    const QList<std::pair<const char *, QImage>> kinds = {
        {"rgb.tif", picture.convertToFormat(QImage::Format_RGB888)},
        {"rgba.tif", picture},
    };
    for (const auto &[name, image] : kinds) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(image.save(path(QLatin1String(name)), "TIFF"));
        const QImage reference = QImage(path(QLatin1String(name))).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(reference.size(), picture.size());
        const QImage loaded = loadPicture(path(QLatin1String(name))).image().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(loaded, reference);
    }
}

TEST_F(Decoding, ASideOfExactlyTheLimitLoadsAndOnePixelMoreIsRefused)
{
    // One row, so that the side limit alone is in play, never the pixel count; in formats read
    // by the toolkit's readers and, for TIFF, by FreeImage, which check the size apart.
    constexpr int kLargestSide = 65535;
    for (const char *format : {"bmp", "png", "tif"}) {
        for (const int width : {kLargestSide, kLargestSide + 1}) {
            const QString f = path(QStringLiteral("row%1.%2").arg(width).arg(QLatin1String(format)));
            SCOPED_TRACE(f.toStdString());
            ASSERT_TRUE(testsupport::gradientImage(width, 1).save(f));
            QString description;
            if (width == kLargestSide) {
                ASSERT_EQ(loaderError(f, &description), 0) << description.toStdString();
                EXPECT_EQ(loadPicture(f).pixelSize(), QSize(width, 1));
                EXPECT_EQ(libraryStatus(f), gp::Ok);
            } else {
                EXPECT_EQ(loaderError(f, &description), err::InvalidPicture);
                EXPECT_TRUE(description.contains(QStringLiteral("too large"))) << description.toStdString();
                EXPECT_EQ(libraryStatus(f), gp::ValueOverflow);
            }
        }
    }
}

TEST_F(Decoding, AThumbnailsEndMarkerIsNotThePicturesEnd)
{
    // A camera's preview sits whole in the EXIF segment, end marker and all, ahead of the
    // picture; here the picture has then lost its own end marker. Only a walk that steps over
    // each segment by its length, rather than looking for the marker's bytes, sees that.
    const QByteArray thumbnail = testsupport::jpegOfKind(testsupport::gradientImage(16, 12));
    ASSERT_TRUE(thumbnail.endsWith("\xFF\xD9"));
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const QByteArray whole = testsupport::withSegment(testsupport::jpegBytes(320, 240, progressive),
                                                          testsupport::exifSegment(1, thumbnail));
        ASSERT_TRUE(whole.endsWith("\xFF\xD9"));
        const QString kept = write("whole.jpg", whole);
        EXPECT_EQ(loaderError(kept), 0);
        EXPECT_EQ(libraryStatus(kept), gp::Ok);

        const QString f = write("lost-end.jpg", whole.chopped(2));
        QString description;
        EXPECT_EQ(loaderError(f, &description), err::InvalidPicture);
        EXPECT_TRUE(description.contains(QStringLiteral("damaged"), Qt::CaseInsensitive)) << description.toStdString();
        EXPECT_EQ(libraryStatus(f), gp::UnknownImageFormat);
    }
}

// A JPEG decoded for a smaller drawing is what Qt's reader gives when asked for that size,
// whatever eighth it is decoded at, however the photo is stored turned, whatever its colours.
TEST_F(Decoding, ReducedJpegsAreTheReadersOwnPixels)
{
    using testsupport::JpegKind;
    QImage photo = testsupport::gradientImage(808, 600);
    for (int y = 0; y < photo.height(); y += 3)
        for (int x = (y * 7) % 5; x < photo.width(); x += 5)
            photo.setPixel(x, y, qRgb((x * 13) & 0xff, (y * 29) & 0xff, ((x ^ y) * 3) & 0xff));
    struct Case { QSize size; JpegKind::Colour colour; int orientation; QSize drawn; int kind = 0; };
    enum { Plain, Progressive, Restarts, Full444, Profile, Comment };
    const QList<Case> cases = {
        {{808, 600}, JpegKind::Colour::YCbCr, 1, {283, 210}},    // 3/8, then smoothed
        {{808, 600}, JpegKind::Colour::YCbCr, 1, {202, 150}},    // exactly 2/8
        {{808, 600}, JpegKind::Colour::YCbCr, 6, {210, 283}},
        {{808, 600}, JpegKind::Colour::YCbCr, 3, {99, 70}},
        {{808, 600}, JpegKind::Colour::YCbCr, 5, {500, 700}},
        {{808, 600}, JpegKind::Colour::YCbCr, 8, {140, 190}},
        {{803, 601}, JpegKind::Colour::YCbCr, 1, {283, 210}},    // eighths that do not divide
        {{808, 600}, JpegKind::Colour::Grey, 1, {283, 210}},
        {{808, 600}, JpegKind::Colour::Cmyk, 6, {210, 283}},
        // Codings, and the colour profile and comments the reader keeps with the pixels.
        {{808, 600}, JpegKind::Colour::YCbCr, 1, {283, 210}, Progressive},
        {{808, 600}, JpegKind::Colour::YCbCr, 6, {210, 283}, Restarts},
        {{808, 600}, JpegKind::Colour::YCbCr, 1, {500, 300}, Full444},
        {{808, 600}, JpegKind::Colour::YCbCr, 1, {283, 210}, Profile},
        {{808, 600}, JpegKind::Colour::YCbCr, 1, {283, 210}, Comment},
    };
    for (const Case &c : cases) {
        JpegKind kind;
        kind.colour = c.colour;
        kind.progressive = c.kind == Progressive;
        kind.restartRows = c.kind == Restarts ? 2 : 0;
        kind.subsampled = c.kind != Full444;
        QImage picture = photo.copy(QRect(QPoint(0, 0), c.size));
        QByteArray jpeg = testsupport::jpegOfKind(picture, kind);
        if (c.kind == Profile || c.kind == Comment) {
            // Qt's own writer puts the profile and the text in.
            if (c.kind == Profile)
                picture.setColorSpace(QColorSpace::DisplayP3);
            else
                picture.setText("Description", "a comment");
            QBuffer buffer(&jpeg);
            jpeg.clear();
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, "JPEG", 90);
        }
        if (c.orientation != 1)
            jpeg = testsupport::withSegment(jpeg, testsupport::exifSegment(c.orientation));
        const QString file = write("reduced.jpg", jpeg);
        decoder::Hints hints;
        hints.drawnSize = [&](QSize) { return c.drawn; };
        const decoder::Decoded ours = decoder::decode(file, hints);
        QImageReader reader(file);
        reader.setAutoTransform(true);
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        reader.setScaledSize(turned ? c.drawn.transposed() : c.drawn);
        const QImage qt = reader.read();
        SCOPED_TRACE(QString("%1x%2 colour %3 orientation %4")
                         .arg(c.size.width()).arg(c.size.height()).arg(int(c.colour)).arg(c.orientation)
                         .toStdString());
        ASSERT_EQ(ours.failure, decoder::Failure::None);
        ASSERT_EQ(ours.image.size(), c.drawn);
        EXPECT_EQ(ours.image.format(), qt.format());
        EXPECT_EQ(ours.image.dotsPerMeterX(), qt.dotsPerMeterX());
        EXPECT_EQ(ours.image.colorSpace(), qt.colorSpace());
        EXPECT_EQ(ours.image.textKeys(), qt.textKeys());
        EXPECT_TRUE(ours.image == qt) << "pixels differ from the reader's";
    }
}
