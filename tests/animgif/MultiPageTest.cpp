// The multi-frame GIF writer, its files read back by giflib's own decoder.
#include "GifTestSupport.h"
#include "animgif/cGDIP.h"
#include "animgif/cMultiPage.h"
#include "platform/GifEncoder.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QRandomGenerator>
#include <algorithm>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace gp = platform::gdiplus;

namespace {

class MultiPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&gdip, &cGDIP::Error, [this](qint32 s, const QString &, const QString &c) {
            reported.push_back({s, c});
        });
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString picture(const QString &name, const QImage &img, const char *format = nullptr)
    {
        const QString p = path(name);
        EXPECT_TRUE(img.save(p, format));
        return p;
    }
    QString broken(const QString &name)
    {
        const QString p = path(name);
        giftest::writeBytes(p, "garbage, not a picture");
        return p;
    }
    bool build(const QStringList &files, std::vector<qint32> delays, const QString &target,
               qint32 loops = 0)
    {
        return writer.SaveMultipageGif(files, delays, target, &gdip, loops);
    }
    // Names in the folder, to see that nothing was left behind.
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System,
                                          QDir::Name | QDir::IgnoreCase);
    }

    QTemporaryDir dir;
    cGDIP gdip;
    cMultiPage writer;
    std::vector<std::pair<qint32, QString>> reported;
};

} // namespace

TEST_F(MultiPage, FramesComeOutInOrderWithTheirDelaysAndTheLoopCount)
{
    std::vector<QImage> sources = {giftest::gradientPicture(40, 30, 0),
                                   giftest::gradientPicture(40, 30, 1),
                                   giftest::gradientPicture(40, 30, 2)};
    const QStringList files = {picture(QStringLiteral("1.bmp"), sources[0]),
                               picture(QStringLiteral("2.png"), sources[1]),
                               picture(QStringLiteral("3.jpg"), sources[2], "JPEG")};
    sources[2] = QImage(files[2]);   // what the JPEG holds
    const QString target = path(QStringLiteral("Pixmar-anim.gif"));
    ASSERT_TRUE(build(files, {10, 250, 60000}, target));
    EXPECT_EQ(writer.FailureStatus(), gp::Ok);

    const giftest::File gif = giftest::readGif(target);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.version, "GIF89a");
    EXPECT_EQ(gif.width, 40);
    EXPECT_EQ(gif.height, 30);
    ASSERT_TRUE(gif.loopCount.has_value());
    EXPECT_EQ(*gif.loopCount, 0);
    ASSERT_EQ(gif.frames.size(), 3u);
    const int delays[] = {10, 250, 60000};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(gif.frames[i].delayCs, delays[i]);
        EXPECT_EQ(gif.frames[i].width, 40);
        EXPECT_EQ(gif.frames[i].transparentIndex, -1);
        // Each frame looks like its own source (and not like its neighbours).
        const double own = giftest::meanAbsDiff(gif.frames[i].image, sources[i]);
        EXPECT_LT(own, 6.0) << i;
        EXPECT_GT(giftest::meanAbsDiff(gif.frames[i].image, sources[(i + 1) % 3]), 3 * own + 10) << i;
    }
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(entries(), (QStringList{"1.bmp", "2.png", "3.jpg", "Pixmar-anim.gif"}));
}

TEST_F(MultiPage, LoopCountIsWrittenAsItsLowSixteenBits)
{
    const QStringList files = {picture(QStringLiteral("a.bmp"), giftest::solidPicture(4, 4, Qt::red))};
    ASSERT_TRUE(build(files, {5}, path(QStringLiteral("a.gif")), 0x10003));
    const giftest::File gif = giftest::readGif(path(QStringLiteral("a.gif")));
    ASSERT_TRUE(gif.loopCount.has_value());
    EXPECT_EQ(*gif.loopCount, 3);
}

TEST_F(MultiPage, OneFrameIsSavedAndFlushed)
{
    const QStringList files = {picture(QStringLiteral("only.jpg"), giftest::gradientPicture(16, 8), "JPEG")};
    ASSERT_TRUE(build(files, {42}, path(QStringLiteral("one.gif"))));
    const giftest::File gif = giftest::readGif(path(QStringLiteral("one.gif")));
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(gif.frames.size(), 1u);
    EXPECT_EQ(gif.frames[0].delayCs, 42);
    EXPECT_EQ(*gif.loopCount, 0);
}

TEST_F(MultiPage, AnUnreadableLaterFrameEndsTheBuildNamingIt)
{
    const QImage first = giftest::gradientPicture(20, 10);
    const QString target = path(QStringLiteral("out.gif"));
    ASSERT_TRUE(giftest::writeBytes(target, "the old animation"));
    const QStringList files = {picture(QStringLiteral("1.bmp"), first), broken(QStringLiteral("2.jpg")),
                               path(QStringLiteral("3-missing.bmp"))};
    EXPECT_FALSE(build(files, {7, 8, 9}, target));
    EXPECT_EQ(writer.FailureStatus(), gp::UnknownImageFormat);
    EXPECT_EQ(writer.FailedFrame(), files[1]);
    EXPECT_EQ(writer.FailureError().kind(), platform::ErrorKind::InvalidPicture);
    EXPECT_TRUE(writer.FailureError().description().contains(QStringLiteral("2.jpg")));
    // The old file is kept and the temporary one is gone.
    EXPECT_EQ(giftest::fileBytes(target), QByteArray("the old animation"));
    EXPECT_EQ(entries(), (QStringList{"1.bmp", "2.jpg", "out.gif"}));
    // The failed load is reported by cBitmap.
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported[0].first, gp::UnknownImageFormat);
    for (const auto &r : reported)
        EXPECT_EQ(r.second, QStringLiteral("cBitmap"));
}

TEST_F(MultiPage, EachWayAFrameCanFailIsNamedWithItsCause)
{
    using K = platform::ErrorKind;
    const QString good = picture(QStringLiteral("1.bmp"), giftest::solidPicture(6, 6, Qt::red));
    const QString fifo = path(QStringLiteral("fifo.bmp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A header claiming more pixels than allowed, refused before anything is allocated.
    const QByteArray huge = testsupport::bitmapHeaderOnly(15000, 14000);
    const QString large = path(QStringLiteral("large.bmp"));
    ASSERT_TRUE(giftest::writeBytes(large, huge));
    const struct {
        QString frame;
        K kind;
    } cases[] = {
        {path(QStringLiteral("gone.bmp")), K::FileNotFound},
        {fifo, K::NotAFile},
        {broken(QStringLiteral("bad.bmp")), K::InvalidPicture},
        {large, K::PictureTooLarge},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.frame.toStdString());
        EXPECT_FALSE(build({good, c.frame}, {1, 2}, path(QStringLiteral("out.gif"))));
        EXPECT_EQ(writer.FailedFrame(), c.frame);
        EXPECT_EQ(writer.FailureError().kind(), c.kind);
        EXPECT_EQ(writer.FailureError().args().value(0), c.frame);
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.gif"))));
    }
    // A build that fails elsewhere names no frame.
    ASSERT_TRUE(build({good}, {1}, path(QStringLiteral("out.gif"))));
    EXPECT_TRUE(writer.FailedFrame().isEmpty());
}

TEST_F(MultiPage, EachWayTheTargetCanFailIsNamedWithItsCause)
{
    using K = platform::ErrorKind;
    const QString good = picture(QStringLiteral("1.bmp"), giftest::solidPicture(6, 6, Qt::red));
    const QString readOnly = path(QStringLiteral("kept.gif"));
    ASSERT_TRUE(giftest::writeBytes(readOnly, "the user's own file"));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner));
    const QString folder = path(QStringLiteral("folder.gif"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.gif")));
    const struct {
        QString target;
        K kind;
    } cases[] = {
        {readOnly, K::PermissionDenied},
        {folder, K::NotAFile},
        {path(QStringLiteral("no/such/out.gif")), K::PathNotFound},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        EXPECT_FALSE(build({good}, {1}, c.target));
        EXPECT_TRUE(writer.FailedFrame().isEmpty());
        EXPECT_EQ(writer.FailureError().kind(), c.kind);
        EXPECT_EQ(writer.FailureError().args().value(0), c.target);
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(giftest::fileBytes(readOnly), QByteArray("the user's own file"));

    // A library that was never started keeps its status as the error's number.
    EXPECT_FALSE(writer.SaveMultipageGif({good}, std::vector<qint32>{1}, path(QStringLiteral("out.gif")),
                                         nullptr, 0));
    EXPECT_EQ(writer.FailureError().kind(), K::ImagingFailed);
    EXPECT_EQ(writer.FailureError().number(), gp::GdiplusNotInitialized);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.gif"))));
}

TEST_F(MultiPage, TargetExtensionChoosesTheEncoderWhateverItsCase)
{
    const QStringList files = {picture(QStringLiteral("a.bmp"), giftest::solidPicture(4, 4, Qt::green))};
    ASSERT_TRUE(build(files, {1}, path(QStringLiteral("out.GIF"))));
    EXPECT_TRUE(giftest::readGif(path(QStringLiteral("out.GIF"))).ok);

    // No extension, an extension no encoder lists, a dot in a folder name only: nothing
    // is written and nothing is reported.
    const QStringList before = entries();
    EXPECT_FALSE(build(files, {1}, path(QStringLiteral("noextension"))));
    EXPECT_EQ(writer.FailureStatus(), gp::UnknownImageFormat);
    EXPECT_FALSE(build(files, {1}, path(QStringLiteral("out.xyz"))));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub.gif")));
    EXPECT_FALSE(build(files, {1}, path(QStringLiteral("sub.gif/anim"))));
    EXPECT_EQ(entries(), before);

    // Another encoder's extension: that encoder takes no frames, the build fails and the
    // temporary file it started is gone.
    EXPECT_FALSE(build(files, {1}, path(QStringLiteral("anim.png"))));
    EXPECT_EQ(writer.FailureStatus(), gp::NotImplemented);
    EXPECT_EQ(entries(), before);
}

TEST_F(MultiPage, NothingToDoGivesFalse)
{
    EXPECT_FALSE(build({}, {}, path(QStringLiteral("a.gif"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.gif"))));
    const QStringList files = {picture(QStringLiteral("a.bmp"), giftest::solidPicture(4, 4, Qt::green))};
    EXPECT_FALSE(writer.SaveMultipageGif(files, std::vector<qint32>{1}, path(QStringLiteral("a.gif")), nullptr, 0));
    EXPECT_EQ(writer.FailureStatus(), gp::GdiplusNotInitialized);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.gif"))));
}

TEST_F(MultiPage, AnExistingFileIsReplacedOnlyByACompleteNewOne)
{
    const QString target = path(QStringLiteral("Pixmar-anim.gif"));
    const QByteArray old = "the user's previous animation";
    ASSERT_TRUE(giftest::writeBytes(target, old));
    ::chmod(QFile::encodeName(target).constData(), 0640);

    // First picture unreadable: the build fails and the old file stays, byte for byte.
    const QString good = picture(QStringLiteral("b.bmp"), giftest::solidPicture(8, 8, Qt::red));
    EXPECT_FALSE(build({broken(QStringLiteral("a.bmp")), good}, {1, 2}, target));
    EXPECT_EQ(writer.FailureStatus(), gp::UnknownImageFormat);
    EXPECT_EQ(writer.FailedFrame(), path(QStringLiteral("a.bmp")));
    EXPECT_EQ(giftest::fileBytes(target), old);
    EXPECT_EQ(entries(), (QStringList{"a.bmp", "b.bmp", "Pixmar-anim.gif"}));

    // A successful build replaces it, keeping its permissions and leaving nothing else.
    ASSERT_TRUE(build({good}, {5}, target));
    const giftest::File gif = giftest::readGif(target);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.frames.size(), 1u);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(), (QStringList{"a.bmp", "b.bmp", "Pixmar-anim.gif"}));
}

TEST_F(MultiPage, AReadOnlyTargetIsNotReplaced)
{
    const QString target = path(QStringLiteral("Pixmar-anim.gif"));
    ASSERT_TRUE(giftest::writeBytes(target, "keep me"));
    ::chmod(QFile::encodeName(target).constData(), 0444);
    const QString good = picture(QStringLiteral("b.bmp"), giftest::solidPicture(8, 8, Qt::red));
    EXPECT_FALSE(build({good}, {5}, target));
    EXPECT_EQ(writer.FailureStatus(), gp::AccessDenied);
    EXPECT_EQ(giftest::fileBytes(target), QByteArray("keep me"));
    EXPECT_EQ(entries(), (QStringList{"b.bmp", "Pixmar-anim.gif"}));
    const std::pair<qint32, QString> denied{gp::AccessDenied, QStringLiteral("cMultiPage")};
    EXPECT_NE(std::find(reported.begin(), reported.end(), denied), reported.end());
}

TEST_F(MultiPage, AFolderThatCannotBeWrittenFailsCleanly)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const QString good = picture(QStringLiteral("b.bmp"), giftest::solidPicture(8, 8, Qt::red));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    const QString locked = path(QStringLiteral("locked"));
    ::chmod(QFile::encodeName(locked).constData(), 0555);
    EXPECT_FALSE(build({good}, {5}, locked + QStringLiteral("/Pixmar-anim.gif")));
    EXPECT_EQ(writer.FailureStatus(), gp::AccessDenied);
    EXPECT_EQ(writer.FailureError().kind(), platform::ErrorKind::PermissionDenied);
    EXPECT_TRUE(QDir(locked).entryList(QDir::Files | QDir::Hidden).isEmpty());
    ::chmod(QFile::encodeName(locked).constData(), 0755);
}

TEST_F(MultiPage, LaterFramesOfAnotherSizeAreFittedAndCentred)
{
    const QStringList files = {picture(QStringLiteral("1.bmp"), giftest::solidPicture(40, 20, Qt::white)),
                               picture(QStringLiteral("2.bmp"), giftest::solidPicture(10, 10, Qt::red)),
                               picture(QStringLiteral("3.bmp"), giftest::solidPicture(400, 20, Qt::blue))};
    ASSERT_TRUE(build(files, {1, 1, 1}, path(QStringLiteral("out.gif"))));
    const giftest::File gif = giftest::readGif(path(QStringLiteral("out.gif")));
    ASSERT_EQ(gif.frames.size(), 3u);
    for (const auto &f : gif.frames) {
        EXPECT_EQ(f.width, 40);
        EXPECT_EQ(f.height, 20);
    }
    // 10 x 10 grows to 20 x 20 in the middle of 40 x 20: black bars left and right.
    const QImage &red = gif.frames[1].image;
    EXPECT_EQ(red.pixel(2, 10), qRgb(0, 0, 0));
    EXPECT_EQ(red.pixel(20, 10), qRgb(255, 0, 0));
    EXPECT_EQ(red.pixel(37, 10), qRgb(0, 0, 0));
    // 400 x 20 shrinks to 40 x 2 across the middle: black bars above and below.
    const QImage &blue = gif.frames[2].image;
    EXPECT_EQ(blue.pixel(20, 2), qRgb(0, 0, 0));
    EXPECT_EQ(blue.pixel(20, 10), qRgb(0, 0, 255));
    EXPECT_EQ(blue.pixel(20, 17), qRgb(0, 0, 0));
}

TEST_F(MultiPage, TransparentPixelsStayTransparent)
{
    QImage logo(8, 4, QImage::Format_ARGB32);
    logo.fill(qRgba(0, 0, 0, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            logo.setPixel(x, y, qRgba(200, 100, 50, 255));
    const QStringList files = {picture(QStringLiteral("logo.png"), logo)};
    ASSERT_TRUE(build(files, {3}, path(QStringLiteral("t.gif"))));
    const giftest::File gif = giftest::readGif(path(QStringLiteral("t.gif")));
    ASSERT_EQ(gif.frames.size(), 1u);
    const giftest::Frame &f = gif.frames[0];
    ASSERT_GE(f.transparentIndex, 0);
    EXPECT_NE(f.indices[0], f.transparentIndex);
    EXPECT_EQ(f.indices[7], f.transparentIndex);
    const QRgb opaque = f.image.pixel(1, 1);   // the input is read at 7 bits per channel
    EXPECT_NEAR(qRed(opaque), 200, 2);
    EXPECT_NEAR(qGreen(opaque), 100, 2);
    EXPECT_NEAR(qBlue(opaque), 50, 2);
    EXPECT_EQ(qAlpha(opaque), 255);
    EXPECT_EQ(qAlpha(f.image.pixel(6, 2)), 0);
}

TEST(GifPixelSteps, AlphaBecomesAllOrNothing)
{
    QImage img(3, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(10, 20, 30, 127));
    img.setPixel(1, 0, qRgba(10, 20, 30, 128));
    img.setPixel(2, 0, qRgba(10, 20, 30, 255));
    const QImage out = platform::gif::toRgbaWithBinaryAlpha(img);
    ASSERT_EQ(out.format(), QImage::Format_RGBA8888);
    const uchar *p = out.constScanLine(0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(p), 12),
              QByteArray("\x00\x00\x00\x00\x0a\x14\x1e\xff\x0a\x14\x1e\xff", 12));
}

TEST(GifPixelSteps, QuantizedFramesKeepFewColoursExactlyAndDitherMany)
{
    // Four colours fit a palette exactly.
    QImage four(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            four.setPixel(x, y, (x < 4 ? (y < 4 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                       : (y < 4 ? qRgb(0, 0, 255) : qRgb(255, 255, 0))));
    const auto q = platform::gif::quantizeFrame(four);
    ASSERT_TRUE(q.has_value());
    EXPECT_LE(q->palette.size(), 8u);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(q->palette[q->pixels[size_t(y * 8 + x)]] | 0xFF000000u, four.pixel(x, y));

    // Thousands of colours: each pixel may be off, but full dithering keeps the local
    // average, so the picture and its reduction agree closely once both are smoothed. (The
    // builder dithers more lightly, for files that code smaller; the step itself still
    // dithers fully when asked.)
    const QImage grad = giftest::gradientPicture(128, 128);
    platform::gif::Tuning fullDither;
    fullDither.dither = 1.0f;
    const auto g = platform::gif::quantizeFrame(grad, fullDither);
    ASSERT_TRUE(g.has_value());
    EXPECT_LE(g->palette.size(), 256u);
    QImage back(128, 128, QImage::Format_RGB32);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            back.setPixel(x, y, g->palette[g->pixels[size_t(y * 128 + x)]]);
    EXPECT_LT(giftest::meanAbsDiff(back, grad), 10.0);
    const auto smooth = [](const QImage &i) {
        return i.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    EXPECT_LT(giftest::meanAbsDiff(smooth(back), smooth(grad)), 2.0);
}

TEST(GifPixelSteps, UnditheredMappingTakesTheNearestEntryAndTheFirstOfEquals)
{
    // Palettes of clustered colours, with repeated entries, against every kind of pixel; the
    // search looks only at entries that can win in the colour's part of the cube, so a
    // search over the whole palette is the reference.
    QRandomGenerator rng(23);
    for (int round = 0; round < 6; ++round) {
        std::vector<QRgb> palette;
        const int size = 2 + int(rng.bounded(255));
        for (int i = 0; i < size; ++i) {
            if (i > 0 && rng.bounded(8) == 0)
                palette.push_back(palette[rng.bounded(i)]);   // the same colour again
            else
                palette.push_back(qRgb(int(rng.bounded(256)), int(rng.bounded(64)) * (round % 2 ? 4 : 1),
                                       int(rng.bounded(256))));
        }
        const int transparent = round % 3 == 0 ? int(rng.bounded(size)) : -1;
        if (transparent >= 0)
            palette[size_t(transparent)] = qRgba(0, 0, 0, 0);
        QImage rgba(97, 61, QImage::Format_RGBA8888);
        for (int y = 0; y < rgba.height(); ++y) {
            uchar *px = rgba.scanLine(y);
            for (int x = 0; x < rgba.width(); ++x, px += 4) {
                for (int c = 0; c < 3; ++c)
                    px[c] = uchar(rng.bounded(256));
                px[3] = (x + y) % 17 == 0 ? 0 : 255;
            }
        }
        const platform::gif::IndexedFrame f = platform::gif::mapToPalette(rgba, palette, 0.0f);
        ASSERT_EQ(f.pixels.size(), size_t(rgba.width() * rgba.height()));
        EXPECT_EQ(f.palette, palette);
        EXPECT_EQ(f.transparentIndex, transparent);
        for (int y = 0; y < rgba.height(); ++y) {
            for (int x = 0; x < rgba.width(); ++x) {
                const uchar *px = rgba.constScanLine(y) + 4 * x;
                const int got = f.pixels[size_t(y * rgba.width() + x)];
                if (px[3] == 0 && transparent >= 0) {
                    ASSERT_EQ(got, transparent);
                    continue;
                }
                int want = -1, wantD = 0;
                for (int i = 0; i < size; ++i) {
                    if (i == transparent)
                        continue;
                    const QRgb p = palette[size_t(i)];
                    const int d = (qRed(p) - px[0]) * (qRed(p) - px[0]) + (qGreen(p) - px[1]) * (qGreen(p) - px[1])
                        + (qBlue(p) - px[2]) * (qBlue(p) - px[2]);
                    if (want < 0 || d < wantD) {
                        want = i;
                        wantD = d;
                    }
                }
                ASSERT_EQ(got, want) << "round " << round << " at " << x << "," << y;
            }
        }
    }
}
