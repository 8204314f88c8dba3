// The scaled picture loader and the device-context stand-ins it renders through.
#include "platform/Errors.h"
#include "platform/Gdi.h"
#include "platform/GdiBitmap.h"
#include "platform/GdiObjects.h"
#include "support/TestSupport.h"
#include "tools/modGDIPlusResize.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace gdi = platform::gdi;
using modGDIPlusResize::LoadPictureScaled;

namespace {

// A device pixel as stored (premultiplied where there is alpha).
QRgb raw(const QImage &img, int x, int y) { return reinterpret_cast<const QRgb *>(img.constScanLine(y))[x]; }

class ScaledLoader : public ::testing::Test {
protected:
    ScaledLoader() : token(modGDIPlusResize::StartGdiPlus()), handles(gdi::liveHandleCount()) {}
    ~ScaledLoader() override
    {
        EXPECT_EQ(gdi::liveHandleCount(), handles) << "a call left a context or object behind";
        modGDIPlusResize::StopGdiPlus(token);
        gdi::setDisplayDepth(32);
    }
    QString path(const char *name) const { return tmp.path() + '/' + QLatin1String(name); }

    modGDIPlusResize::Token token;
    int handles;
    QTemporaryDir tmp;
};

} // namespace

TEST_F(ScaledLoader, MinusOneInEitherSideGivesThePictureAtItsOwnSize)
{
    const QImage source = testsupport::gradientImage(7, 5);
    ASSERT_TRUE(source.save(path("g.png")));
    int w = -1, h = 100;
    const QImage img = LoadPictureScaled(path("g.png"), w, h, 0x00FFFFFF, false).image();
    EXPECT_EQ(QSize(w, h), QSize(7, 5));
    ASSERT_EQ(img.size(), QSize(7, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(raw(img, x, y), source.pixel(x, y)) << x << "," << y;
}

TEST_F(ScaledLoader, TransparentPartsComeOutInTheBackgroundColour)
{
    QImage logo(3, 1, QImage::Format_ARGB32);
    logo.setPixel(0, 0, qRgba(255, 0, 0, 255));
    logo.setPixel(1, 0, qRgba(0, 255, 0, 0));
    logo.setPixel(2, 0, qRgba(0, 0, 255, 128));
    ASSERT_TRUE(logo.save(path("logo.png")));
    int w = -1, h = -1;
    const QImage onBlack = LoadPictureScaled(path("logo.png"), w, h, 0, false).image();
    EXPECT_EQ(raw(onBlack, 0, 0), qRgba(255, 0, 0, 255));
    EXPECT_EQ(raw(onBlack, 1, 0), qRgba(0, 0, 0, 0));   // black, and alpha 0: blends to nothing
    EXPECT_EQ(raw(onBlack, 2, 0), qRgba(0, 0, 128, 128));   // premultiplied

    gdi::setDisplayDepth(16);   // no spare byte: composited onto the background
    const QImage onRed = LoadPictureScaled(path("logo.png"), w, h, gdi::RGB(255, 0, 0), false).image();
    EXPECT_EQ(onRed.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(onRed.pixel(2, 0), qRgb(127, 0, 128));
}

TEST_F(ScaledLoader, KeepingProportionsDrawsAtTheTopLeftOnTheBackground)
{
    auto colour = [](const QImage &img, int x, int y) { return raw(img, x, y) & 0xFFFFFF; };
    const QRgb white = 0xFFFFFF, blue = 0x0000FF;
    ASSERT_TRUE(testsupport::writeSolid(path("wide.bmp"), 200, 100, Qt::white));
    ASSERT_TRUE(testsupport::writeSolid(path("tall.bmp"), 100, 200, Qt::white));
    int w = 100, h = 100;
    QImage img = LoadPictureScaled(path("wide.bmp"), w, h, gdi::RGB(0, 0, 255), true).image();
    EXPECT_EQ(colour(img, 99, 49), white);
    EXPECT_EQ(colour(img, 0, 50), blue);
    img = LoadPictureScaled(path("tall.bmp"), w, h, gdi::RGB(0, 0, 255), true).image();
    EXPECT_EQ(colour(img, 49, 99), white);
    EXPECT_EQ(colour(img, 50, 0), blue);
    w = 100, h = 50;   // equal ratios fill the box
    img = LoadPictureScaled(path("wide.bmp"), w, h, gdi::RGB(0, 0, 255), true).image();
    EXPECT_EQ(colour(img, 99, 49), white);
    // The drawn side is rounded halves to even: 2.5 gives 2, 1.5 gives 2.
    EXPECT_EQ(modGDIPlusResize::keepProportionsSize(4, 1, 10, 10), QSize(10, 2));
    EXPECT_EQ(modGDIPlusResize::keepProportionsSize(1, 4, 6, 6), QSize(2, 6));
}

TEST_F(ScaledLoader, AMissingPictureOrAStoppedLibraryRaisesError999)
{
    int w = -1, h = -1;
    try {
        LoadPictureScaled(path("missing.png"), w, h, 0, false);
        ADD_FAILURE() << "no error";
    } catch (const platform::AppError &e) {
        EXPECT_EQ(e.number(), 999);
        EXPECT_EQ(e.source(), QStringLiteral("GDI+ Module"));
        EXPECT_EQ(e.description(), QStringLiteral("Error loading picture ") + path("missing.png"));
    }
    ASSERT_TRUE(testsupport::writeSolid(path("ok.bmp"), 4, 4, Qt::red));
    modGDIPlusResize::StopGdiPlus(token);
    EXPECT_THROW(LoadPictureScaled(path("ok.bmp"), w, h, 0, false), platform::AppError);
    token = modGDIPlusResize::StartGdiPlus();
}

TEST_F(ScaledLoader, OnlyTheShownPartIsDecodedAndItMatchesTheWholePicture)
{
    // A JPEG (decoded with smoothing across its blocks) and a PNG with transparent parts.
    testsupport::writeBytes(path("logo.jpg"), testsupport::jpegBytes(400, 300));
    QImage alpha = testsupport::gradientImage(90, 70).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < alpha.height(); ++y)
        for (int x = 0; x < alpha.width(); ++x)
            if ((x + y) % 3 == 0)
                alpha.setPixel(x, y, qRgba(0, 0, 0, 0));
    ASSERT_TRUE(alpha.save(path("logo.png")));

    for (const auto &[file, shown] : std::vector<std::pair<QString, QSize>>{
             {path("logo.jpg"), QSize(123, 77)},
             {path("logo.jpg"), QSize(1000, 40)},
             {path("logo.png"), QSize(33, 70)}}) {
        int w = -1, h = -1;
        const QImage whole = LoadPictureScaled(file, w, h, 0, false).image();
        int pw = -1, ph = -1;
        const QImage part = LoadPictureScaled(file, pw, ph, 0, false, shown).image();
        // The caller still learns the picture's own size; the bitmap holds no more than shows.
        EXPECT_EQ(QSize(pw, ph), QSize(w, h));
        const QSize expected = shown.boundedTo(whole.size());
        ASSERT_EQ(part.size(), expected) << file.toStdString();
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                ASSERT_EQ(raw(part, x, y), raw(whole, x, y)) << file.toStdString() << " " << x << "," << y;
    }
}
