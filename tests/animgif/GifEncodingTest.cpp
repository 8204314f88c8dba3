// The GIF encoding steps (own LZW coder, lossy strings, frames that repeat the one before)
// and the frame-size option, every file read back with giflib's decoder.
#include "GifTestSupport.h"
#include "animgif/AnimGifRules.h"
#include "animgif/cGDIP.h"
#include "animgif/cMultiPage.h"
#include "platform/GifEncoder.h"
#include "support/LzwReference.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace gif = platform::gif;

namespace {

// Writes frames through the encoder with the given tuning and reads the file back.
giftest::File encode(const QString &path, const std::vector<QImage> &frames, const gif::Tuning &tuning,
                     int delayCs = 7, int threads = 0)
{
    gif::GifWriter writer(tuning, threads);
    EXPECT_EQ(writer.open(path, frames.front().size(), 0), gif::GpStatus(0));
    for (const QImage &f : frames)
        EXPECT_EQ(writer.addFrame(f, delayCs), gif::GpStatus(0));
    EXPECT_EQ(writer.finish(), gif::GpStatus(0));
    return giftest::readGif(path);
}

// One frame's code stream written as giflib's filters write copied codes.
bool writeCoded(const QString &path, const gif::IndexedFrame &frame, const std::vector<std::uint8_t> &codes)
{
    int err = 0;
    GifFileType *out = EGifOpenFileName(QFile::encodeName(path).constData(), false, &err);
    if (!out)
        return false;
    const int colours = 1 << GifBitSize(int(frame.palette.size()));
    std::vector<GifColorType> entries(size_t(colours), GifColorType{0, 0, 0});
    for (size_t i = 0; i < frame.palette.size(); ++i)
        entries[i] = {GifByteType(qRed(frame.palette[i])), GifByteType(qGreen(frame.palette[i])),
                      GifByteType(qBlue(frame.palette[i]))};
    ColorMapObject *map = GifMakeMapObject(colours, entries.data());
    bool ok = EGifPutScreenDesc(out, frame.width, frame.height, 8, 0, nullptr) == GIF_OK
        && EGifPutImageDesc(out, 0, 0, frame.width, frame.height, false, map) == GIF_OK;
    GifByteType block[256];
    for (size_t at = 0; ok && at < codes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - at);
        block[0] = GifByteType(n);
        std::copy_n(codes.begin() + qsizetype(at), n, block + 1);
        ok = (at == 0 ? EGifPutCode(out, gif::lzwMinimumCodeSize(frame), block) : EGifPutCodeNext(out, block))
            == GIF_OK;
    }
    ok = ok && EGifPutCodeNext(out, nullptr) == GIF_OK;
    GifFreeMapObject(map);
    return EGifCloseFile(out, &err) == GIF_OK && ok;
}

gif::IndexedFrame randomFrame(int w, int h, int colours, int runLength, quint32 seed)
{
    QRandomGenerator rng(seed);
    gif::IndexedFrame f;
    f.width = w;
    f.height = h;
    for (int i = 0; i < colours; ++i)   // neighbouring entries are near in colour
        f.palette.push_back(qRgb(i * 255 / std::max(1, colours - 1), (i * 7) % 256, 128));
    for (int i = 0; i < w * h;) {
        const auto v = std::uint8_t(rng.bounded(colours));
        for (int k = 0; k < runLength && i < w * h; ++k, ++i)
            f.pixels.push_back(v);
    }
    return f;
}

// A photograph-like frame: gradients, a disc, noise; `shift` moves the content sideways.
QImage scene(int w, int h, int shift, int discX)
{
    QImage img = giftest::gradientPicture(w + 64, h, 1).copy(shift, 0, w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(200, 40, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(discX, h / 2), h / 5, h / 5);
    return img;
}

class GifEncoding : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(GifEncoding, ExactLzwCodesDecodeToEveryIndexWhateverThePaletteAndLength)
{
    // Palette sizes give code sizes 2 to 8; long noisy frames fill the string table many
    // times over, so the clear codes and the widening of codes are exercised too.
    struct Case { int w, h, colours, run; };
    for (const Case c : {Case{1, 1, 1, 1}, Case{1, 1, 2, 1}, Case{3, 1, 4, 1}, Case{64, 64, 16, 3},
                         Case{300, 200, 256, 1}, Case{257, 131, 256, 40}, Case{500, 400, 2, 1}}) {
        gif::IndexedFrame f = randomFrame(c.w, c.h, c.colours, c.run, quint32(c.w * 31 + c.colours));
        const auto before = f.pixels;
        const auto codes = gif::lzwEncode(f, 0);
        EXPECT_EQ(f.pixels, before);   // exact coding changes nothing
        const QString p = path(QStringLiteral("exact%1.gif").arg(c.w));
        ASSERT_TRUE(writeCoded(p, f, codes));
        const giftest::File back = giftest::readGif(p);
        ASSERT_TRUE(back.ok) << c.w << "x" << c.h;
        ASSERT_EQ(back.frames.size(), 1u);
        EXPECT_EQ(back.frames[0].indices, before) << c.w << "x" << c.h << " colours " << c.colours;
    }
}

TEST_F(GifEncoding, EveryLzwStreamEndsWithAnEndCodeOfTheWidthReadersExpect)
{
    // giflib stops reading at a frame's last pixel; other readers read on to the end code. A
    // reader adds a string for the last pixel code as for every other; when that fills the
    // code width, it reads the end code one bit wider. Frames of one colour (each string one
    // pixel longer than the one before) and of noise, of every length up to several widths,
    // end there many times; the lossy coder ends its streams the same way.
    for (const int colours : {2, 16, 256}) {
        for (const bool solid : {true, false}) {
            for (const int tolerance : {0, 40}) {
                for (int pixels = 1; pixels <= 1500; ++pixels) {
                    gif::IndexedFrame f = randomFrame(pixels, 1, colours, solid ? pixels : 1, quint32(pixels));
                    const std::vector<std::uint8_t> codes = gif::lzwEncode(f, tolerance);
                    const auto decoded = lzwreference::decode(codes, gif::lzwMinimumCodeSize(f));
                    ASSERT_TRUE(decoded.has_value())
                        << colours << " colours, " << pixels << (solid ? " solid" : " noise") << " pixels";
                    ASSERT_EQ(*decoded, f.pixels) << colours << " colours, " << pixels << " pixels";
                }
            }
        }
    }
}

TEST_F(GifEncoding, LossyLzwStaysWithinItsBoundKeepsTransparencyAndShrinks)
{
    // A grey ramp with noise, as a dithered photograph's flat parts are.
    QRandomGenerator rng(11);
    gif::IndexedFrame f;
    f.width = 320;
    f.height = 240;
    for (int i = 0; i < 256; ++i)
        f.palette.push_back(qRgb(i, i, i));
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            f.pixels.push_back(std::uint8_t(std::clamp(x * 255 / 320 + int(rng.bounded(7)) - 3, 0, 255)));
    f.transparentIndex = 5;
    for (size_t i = 0; i < f.pixels.size(); i += 97)
        f.pixels[i] = 5;
    const gif::IndexedFrame original = f;
    gif::IndexedFrame exact = f;
    const auto exactCodes = gif::lzwEncode(exact, 0);
    const int tolerance = 4;
    const auto codes = gif::lzwEncode(f, tolerance);
    EXPECT_LT(codes.size(), exactCodes.size() * 3 / 4);

    // The stream decodes to what the coder says it wrote...
    ASSERT_TRUE(writeCoded(path("lossy.gif"), f, codes));
    const giftest::File back = giftest::readGif(path("lossy.gif"));
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.frames[0].indices, f.pixels);
    // ... and each pixel changed only to a colour within the bound, never into or out of
    // the transparent entry.
    int changed = 0;
    for (size_t i = 0; i < f.pixels.size(); ++i) {
        const int a = original.pixels[i], b = f.pixels[i];
        ASSERT_EQ(a == 5, b == 5) << i;
        const QRgb ca = f.palette[size_t(a)], cb = f.palette[size_t(b)];
        const int d2 = (qRed(ca) - qRed(cb)) * (qRed(ca) - qRed(cb))
            + (qGreen(ca) - qGreen(cb)) * (qGreen(ca) - qGreen(cb))
            + (qBlue(ca) - qBlue(cb)) * (qBlue(ca) - qBlue(cb));
        ASSERT_LE(d2, tolerance * tolerance) << i;
        changed += a != b;
    }
    EXPECT_GT(changed, 0);
}

TEST_F(GifEncoding, RepeatingFramesComposeToWhatWholeFramesShowWithinTheBound)
{
    // A disc moving over a still scene: most of each frame repeats the one before.
    std::vector<QImage> frames;
    for (int k = 0; k < 6; ++k)
        frames.push_back(scene(160, 120, 0, 40 + 6 * k));
    frames.push_back(frames.back());   // a frame that repeats exactly

    gif::Tuning whole;
    whole.repeatTolerance = -1;
    whole.lzwTolerance = 0;
    gif::Tuning repeating = whole;
    repeating.repeatTolerance = 3;
    const giftest::File a = encode(path("whole.gif"), frames, whole);
    const giftest::File b = encode(path("repeating.gif"), frames, repeating);
    ASSERT_TRUE(a.ok && b.ok);
    ASSERT_EQ(a.frames.size(), frames.size());
    ASSERT_EQ(b.frames.size(), frames.size());
    EXPECT_EQ(b.width, 160);
    EXPECT_EQ(b.height, 120);
    EXPECT_EQ(b.loopCount, std::optional<int>(0));
    EXPECT_LT(giftest::fileBytes(path("repeating.gif")).size(), giftest::fileBytes(path("whole.gif")).size());

    const std::vector<QImage> shownA = giftest::composeFrames(a);
    const std::vector<QImage> shownB = giftest::composeFrames(b);
    std::vector<int> drawnBy(160 * 120, 0);   // the frame that last drew each pixel
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(b.frames[k].delayCs, 7);
        const giftest::Frame &f = b.frames[k];
        if (k > 0) {
            // Only the part that changed is written, over the previous frame kept on screen.
            EXPECT_EQ(b.frames[k - 1].disposal, DISPOSE_DO_NOT) << k;
            EXPECT_LT(qint64(f.width) * f.height, 160 * 120 / 2) << k;
            EXPECT_GE(f.transparentIndex, 0) << k;
        }
        // A pixel left out shows what an earlier frame drew, whose picture was within the
        // bound of this one there: the error is that frame's quantisation plus the bound.
        const QImage src = frames[k].convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const int at = (f.top + y) * 160 + f.left + x;
                if (f.indices[size_t(y * f.width + x)] != f.transparentIndex) {
                    drawnBy[size_t(at)] = int(k);
                    continue;
                }
                const QRgb s = src.pixel(f.left + x, f.top + y);
                const QRgb then = frames[size_t(drawnBy[size_t(at)])].pixel(f.left + x, f.top + y);
                ASSERT_EQ(qAlpha(shownB[k].pixel(f.left + x, f.top + y)), 255);
                ASSERT_EQ(shownB[k].pixel(f.left + x, f.top + y),
                          shownB[size_t(drawnBy[size_t(at)])].pixel(f.left + x, f.top + y));
                ASSERT_LE(std::abs(qRed(s) - qRed(then)), 3);
                ASSERT_LE(std::abs(qGreen(s) - qGreen(then)), 3);
                ASSERT_LE(std::abs(qBlue(s) - qBlue(then)), 3);
            }
        // Everywhere else the quantisation decides, as it does for whole frames.
        EXPECT_GE(giftest::psnr(src, shownB[k]), giftest::psnr(src, shownA[k]) - 0.5) << k;
    }
    // The exact repeat is one transparent pixel.
    EXPECT_EQ(b.frames.back().width * b.frames.back().height, 1);
    EXPECT_EQ(b.frames.back().disposal, DISPOSE_BACKGROUND);
}

TEST_F(GifEncoding, TheFileIsTheSameByteForByteWhateverTheNumberOfThreads)
{
    // Every path a frame can take: repeating the one before, distinct, sampled for its palette
    // (over 512 x 512 pixels), of another size (fitted), with transparency of its own.
    std::vector<QImage> frames;
    for (int k = 0; k < 4; ++k)
        frames.push_back(scene(640, 480, 0, 100 + 9 * k));
    for (int seed = 1; seed < 5; ++seed)
        frames.push_back(giftest::gradientPicture(640, 480, seed));
    frames.push_back(scene(300, 200, 20, 90));
    QImage holed = scene(640, 480, 40, 300).convertToFormat(QImage::Format_ARGB32);
    for (int y = 100; y < 200; ++y)
        for (int x = 50; x < 400; ++x)
            holed.setPixel(x, y, qRgba(0, 0, 0, 0));
    frames.push_back(holed);
    frames.push_back(scene(640, 480, 40, 310));

    encode(path("1.gif"), frames, {}, 7, 1);
    const QByteArray one = giftest::fileBytes(path("1.gif"));
    ASSERT_FALSE(one.isEmpty());
    for (int threads : {2, 5}) {
        const QString name = QStringLiteral("%1.gif").arg(threads);
        encode(path(name), frames, {}, 7, threads);
        EXPECT_TRUE(giftest::fileBytes(path(name)) == one) << threads << " threads";
    }
}

TEST_F(GifEncoding, AFrameWithTransparencyOfItsOwnIsWrittenWholeOverACleanedScreen)
{
    QImage holey = scene(40, 30, 0, 20).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            holey.setPixel(x, y, qRgba(0, 0, 0, 0));
    const std::vector<QImage> frames{scene(40, 30, 0, 20), holey, scene(40, 30, 0, 20)};
    const giftest::File g = encode(path("holey.gif"), frames, gif::Tuning{});
    ASSERT_EQ(g.frames.size(), 3u);
    EXPECT_EQ(g.frames[0].disposal, DISPOSE_BACKGROUND);   // the hole must not show frame 0
    EXPECT_EQ(g.frames[1].width, 40);
    EXPECT_EQ(g.frames[2].width, 40);   // nothing known to repeat behind a hole
    const std::vector<QImage> shown = giftest::composeFrames(g);
    EXPECT_EQ(qAlpha(shown[1].pixel(3, 3)), 0);
    EXPECT_EQ(qAlpha(shown[2].pixel(3, 3)), 255);
}

TEST_F(GifEncoding, AHoleAfterFramesThatRepeatedShowsNoneOfThem)
{
    // The frames before the hole repeat one another, so each is written as the part that
    // changed over the one before: clearing such a part clears only that part, and the hole
    // would show what the earlier frames left around it.
    QImage holey = scene(40, 30, 0, 20).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            holey.setPixel(x, y, qRgba(0, 0, 0, 0));
    const std::vector<QImage> frames{scene(40, 30, 0, 20), scene(40, 30, 0, 22), scene(40, 30, 0, 24), holey};
    const giftest::File g = encode(path("holey-after-repeats.gif"), frames, gif::Tuning{});
    ASSERT_EQ(g.frames.size(), 4u);
    ASSERT_EQ(g.frames[1].disposal, DISPOSE_DO_NOT);   // the case at hand: frame 2 repeats
    const std::vector<QImage> shown = giftest::composeFrames(g);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(qAlpha(shown[3].pixel(x, y)), qAlpha(holey.pixel(x, y))) << x << "," << y;
}

TEST(FitBox, FitsLargePicturesKeepingProportionsAndNeverEnlarges)
{
    EXPECT_EQ(animgif::fitWithin({4000, 3000}, {800, 600}), QSize(800, 600));
    EXPECT_EQ(animgif::fitWithin({3000, 1000}, {800, 600}), QSize(800, 267));
    EXPECT_EQ(animgif::fitWithin({1000, 3000}, {800, 600}), QSize(200, 600));
    EXPECT_EQ(animgif::fitWithin({640, 480}, {800, 600}), QSize(640, 480));
    EXPECT_EQ(animgif::fitWithin({1, 1}, {800, 600}), QSize(1, 1));
    EXPECT_EQ(animgif::fitWithin({60000, 1}, {100, 100}), QSize(100, 1));   // never to nothing
    EXPECT_EQ(animgif::fitWithin({4000, 3000}, QSize()), QSize(4000, 3000));

    EXPECT_EQ(animgif::parseFitBox("800x600"), QSize(800, 600));
    EXPECT_EQ(animgif::parseFitBox(" 64 X 48 "), QSize(64, 48));
    for (const char *bad : {"", "800", "800x", "x600", "0x600", "800x0", "-8x6", "65536x10", "8x6x4", "axb"})
        EXPECT_FALSE(animgif::parseFitBox(bad).has_value()) << bad;
    EXPECT_EQ(animgif::fitBoxText({800, 600}), "800x600");
    EXPECT_EQ(animgif::fitBoxText(QSize()), "");
}

TEST_F(GifEncoding, OddPicturesAndTheFitBoxKeepFramesDelaysAndLoop)
{
    cGDIP gdip;
    const auto save = [this](const QString &name, const QImage &img) {
        EXPECT_TRUE(img.save(path(name)));
        return path(name);
    };
    const QString huge = save("huge.png", scene(3000, 2000, 0, 900));
    const QString dot = save("dot.png", giftest::solidPicture(1, 1, QColor(10, 200, 30)));
    const QString tall = save("tall.png", scene(300, 900, 0, 100).scaled(300, 900));
    const QString small = save("small.png", scene(90, 60, 0, 30));

    // Frames of different sizes, a one-pixel frame and one far larger than the box.
    cMultiPage writer;
    writer.fitBox = QSize(400, 300);
    ASSERT_TRUE(writer.SaveMultipageGif({huge, dot, tall, small}, std::vector<qint32>{5, 6, 7, 8},
                                        path("fit.gif"), &gdip, 0));
    giftest::File g = giftest::readGif(path("fit.gif"));
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(QSize(g.width, g.height), QSize(400, 267));   // the first frame, fitted
    ASSERT_EQ(g.frames.size(), 4u);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(g.frames[size_t(k)].delayCs, 5 + k);
    EXPECT_EQ(g.loopCount, std::optional<int>(0));
    for (const QImage &shown : giftest::composeFrames(g))
        EXPECT_EQ(shown.size(), QSize(400, 267));
    // The large picture was reduced, not cropped: the disc is where it was, scaled.
    const QImage first = giftest::composeFrames(g)[0];
    const QRgb disc = first.pixel(120, 133);
    EXPECT_GT(qRed(disc), 150);
    EXPECT_LT(qGreen(disc), 100);

    // One frame, and a one-pixel picture alone, with and without a box.
    for (const QSize box : {QSize(), QSize(400, 300)}) {
        cMultiPage one;
        one.fitBox = box;
        ASSERT_TRUE(one.SaveMultipageGif({dot}, std::vector<qint32>{9}, path("dot.gif"), &gdip, 0));
        g = giftest::readGif(path("dot.gif"));
        ASSERT_EQ(g.frames.size(), 1u);
        EXPECT_EQ(QSize(g.width, g.height), QSize(1, 1));
        EXPECT_EQ(g.frames[0].delayCs, 9);
        EXPECT_EQ(g.frames[0].image.pixel(0, 0), qRgb(10, 200, 30));

        ASSERT_TRUE(one.SaveMultipageGif({small}, std::vector<qint32>{3}, path("one.gif"), &gdip, 0));
        g = giftest::readGif(path("one.gif"));
        ASSERT_EQ(g.frames.size(), 1u);
        EXPECT_EQ(QSize(g.width, g.height), QSize(90, 60));   // never enlarged
    }
}
