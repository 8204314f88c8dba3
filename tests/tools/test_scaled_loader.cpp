// The scaled picture loader and the device-context, bitmap and picture-object stand-ins it
// renders through.
#include "platform/Errors.h"
#include "platform/Gdi.h"
#include "platform/GdiBitmap.h"
#include "platform/GdiObjects.h"
#include "platform/OlePicture.h"
#include "support/TestSupport.h"
#include "tools/modGDIPlusResize.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace gdi = platform::gdi;
namespace ole = platform::ole;
using modGDIPlusResize::LoadPictureScaled;

namespace {

// The four bytes of a device pixel as they are stored (premultiplied where there is alpha).
QRgb raw(const QImage &img, int x, int y)
{
    return reinterpret_cast<const QRgb *>(img.constScanLine(y))[x];
}

class ScaledLoader : public ::testing::Test {
protected:
    ScaledLoader() : token(modGDIPlusResize::StartGdiPlus()), handlesBefore(gdi::liveHandleCount()) {}
    ~ScaledLoader() override
    {
        EXPECT_EQ(gdi::liveHandleCount(), handlesBefore) << "a call left a context or object";
        modGDIPlusResize::StopGdiPlus(token);
        gdi::setDisplayDepth(32);
    }
    QString path(const char *name) const { return tmp.path() + QLatin1Char('/') + QLatin1String(name); }
    // A solid picture, written in the format its extension names.
    QString solid(const char *name, int w, int h, QColor c) const
    {
        const QString p = path(name);
        EXPECT_TRUE(testsupport::writeSolid(p, w, h, c));
        return p;
    }
    // One row: opaque red, transparent (green under alpha 0), half-transparent blue, opaque white.
    QString transparentPng() const
    {
        QImage img(4, 1, QImage::Format_ARGB32);
        img.setPixel(0, 0, qRgba(255, 0, 0, 255));
        img.setPixel(1, 0, qRgba(0, 255, 0, 0));
        img.setPixel(2, 0, qRgba(0, 0, 255, 128));
        img.setPixel(3, 0, qRgba(255, 255, 255, 255));
        const QString p = path("logo.png");
        EXPECT_TRUE(img.save(p));
        return p;
    }

    modGDIPlusResize::Token token;
    int handlesBefore;
    QTemporaryDir tmp;
};

} // namespace

TEST_F(ScaledLoader, MinusOneInEitherSideGivesThePictureAtItsOwnSize)
{
    const QImage source = testsupport::gradientImage(7, 5);
    ASSERT_TRUE(source.save(path("g.png")));
    for (auto [w, h] : {std::pair{-1, 100}, std::pair{100, -1}, std::pair{-1, -1}}) {
        const platform::Picture pic = LoadPictureScaled(path("g.png"), w, h, 0x00FFFFFF, false);
        EXPECT_EQ(w, 7);
        EXPECT_EQ(h, 5);
        ASSERT_EQ(pic.image().size(), QSize(7, 5));
        EXPECT_EQ(pic.pixelSize(), QSize(7, 5));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(raw(pic.image(), x, y), source.pixel(x, y)) << x << "," << y;
    }
}

TEST_F(ScaledLoader, TransparentPartsComeOutInTheBackgroundColourAndKeepTheirAlpha)
{
    const QString logo = transparentPng();
    int w = -1, h = -1;
    const QImage onBlack = LoadPictureScaled(logo, w, h, 0, false).image();
    ASSERT_EQ(onBlack.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(raw(onBlack, 0, 0), qRgba(255, 0, 0, 255));
    EXPECT_EQ(raw(onBlack, 1, 0), qRgba(0, 0, 0, 0));   // black, and nothing to blend
    const QRgb half = raw(onBlack, 2, 0);                // premultiplied
    EXPECT_EQ(qAlpha(half), 128);
    EXPECT_NEAR(qBlue(half), 128, 1);
    EXPECT_EQ(qRed(half) + qGreen(half), 0);
    EXPECT_EQ(raw(onBlack, 3, 0), qRgba(255, 255, 255, 255));

    // A display without the spare byte: the drawing is composited onto the background.
    gdi::setDisplayDepth(24);
    w = h = -1;
    const QImage onRed = LoadPictureScaled(logo, w, h, gdi::RGB(255, 0, 0), false).image();
    EXPECT_FALSE(onRed.hasAlphaChannel());
    EXPECT_EQ(onRed.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(qRed(onRed.pixel(2, 0)), 127);
    EXPECT_NEAR(qBlue(onRed.pixel(2, 0)), 128, 1);
    EXPECT_EQ(onRed.pixel(3, 0), qRgb(255, 255, 255));
}

TEST_F(ScaledLoader, KeepingProportionsDrawsAtTheTopLeftOnTheBackground)
{
    const QRgb background = qRgb(0, 0, 255);
    auto isWhite = [](QRgb p) { return (p & 0xFFFFFF) == 0xFFFFFF; };
    auto isBackground = [&](QRgb p) { return (p & 0xFFFFFF) == (background & 0xFFFFFF); };
    const QString wide = solid("wide.bmp", 200, 100, Qt::white);
    const QString tall = solid("tall.bmp", 100, 200, Qt::white);

    int w = 100, h = 100;
    QImage img = LoadPictureScaled(wide, w, h, gdi::RGB(0, 0, 255), true).image();
    ASSERT_EQ(img.size(), QSize(100, 100));
    EXPECT_TRUE(isWhite(raw(img, 0, 0)) && isWhite(raw(img, 99, 49)));
    EXPECT_TRUE(isBackground(raw(img, 0, 50)) && isBackground(raw(img, 99, 99)));

    img = LoadPictureScaled(tall, w, h, gdi::RGB(0, 0, 255), true).image();
    EXPECT_TRUE(isWhite(raw(img, 49, 0)) && isWhite(raw(img, 49, 99)));
    EXPECT_TRUE(isBackground(raw(img, 50, 0)) && isBackground(raw(img, 99, 99)));

    w = 100, h = 50;   // the same ratio fills the box
    img = LoadPictureScaled(wide, w, h, gdi::RGB(0, 0, 255), true).image();
    ASSERT_EQ(img.size(), QSize(100, 50));
    EXPECT_TRUE(isWhite(raw(img, 99, 49)));

    // The drawn side is rounded to the nearest pixel, halves to the even neighbour.
    EXPECT_EQ(modGDIPlusResize::keepProportionsSize(4, 1, 10, 10), QSize(10, 2));   // 2.5
    EXPECT_EQ(modGDIPlusResize::keepProportionsSize(4, 1, 6, 6), QSize(6, 2));      // 1.5
    EXPECT_EQ(modGDIPlusResize::keepProportionsSize(1, 4, 10, 10), QSize(2, 10));
    EXPECT_EQ(modGDIPlusResize::keepProportionsSize(3, 2, 6, 4), QSize(6, 4));      // b = r
}

TEST_F(ScaledLoader, WithoutKeepingProportionsThePictureIsStretchedOverTheBox)
{
    int w = 30, h = 90;
    const QImage img =
        LoadPictureScaled(solid("s.jpg", 60, 20, Qt::white), w, h, 0, false).image();
    ASSERT_EQ(img.size(), QSize(30, 90));
    EXPECT_GT(qRed(raw(img, 29, 89)), 240);
    EXPECT_EQ(qAlpha(raw(img, 0, 0)), 255);
}

TEST_F(ScaledLoader, AnUnloadablePictureRaisesError999WithItsPath)
{
    testsupport::writeBytes(path("text.png"), "not a picture");
    for (const QString &p : {path("missing.png"), path("text.png")}) {
        int w = -1, h = -1;
        try {
            LoadPictureScaled(p, w, h, 0, false);
            ADD_FAILURE() << "no error for " << p.toStdString();
        } catch (const platform::AppError &e) {
            EXPECT_EQ(e.number(), 999);
            EXPECT_EQ(e.source(), QStringLiteral("GDI+ Module"));
            EXPECT_EQ(e.description(), QStringLiteral("Error loading picture ") + p);
        }
        EXPECT_EQ(w, -1);
    }
    // The library must have been started: otherwise the same error.
    const QString ok = solid("ok.bmp", 4, 4, Qt::red);
    modGDIPlusResize::StopGdiPlus(token);
    int w = -1, h = -1;
    EXPECT_THROW(LoadPictureScaled(ok, w, h, 0, false), platform::AppError);
    token = modGDIPlusResize::StartGdiPlus();
    EXPECT_NO_THROW(LoadPictureScaled(ok, w, h, 0, false));
}

TEST(GdiObjects, SelectedObjectsAreNotDeletedAndStaleHandlesAreRefused)
{
    const int before = gdi::liveHandleCount();
    gdi::HDC dc = gdi::CreateCompatibleDC(nullptr);
    gdi::HBITMAP bmp = gdi::CreateBitmap(3, 2, 1, 32, nullptr);
    gdi::HBRUSH brush = gdi::CreateSolidBrush(gdi::RGB(1, 2, 3));
    ASSERT_TRUE(dc && bmp && brush);
    EXPECT_EQ(gdi::CreateBitmap(0, 5, 1, 32, nullptr), nullptr);
    EXPECT_EQ(gdi::CreateBitmap(70000, 5, 1, 32, nullptr), nullptr);

    gdi::HGDIOBJ stock = gdi::SelectObject(dc, bmp);
    gdi::HGDIOBJ white = gdi::SelectObject(dc, brush);
    ASSERT_TRUE(stock && white);
    EXPECT_TRUE(gdi::PatBlt(dc, 1, 0, 5, 5, gdi::PATCOPY));
    EXPECT_FALSE(gdi::PatBlt(dc, 0, 0, 1, 1, 0x00CC0020));   // only PATCOPY
    const QImage *device = gdi::deviceImage(dc);
    EXPECT_EQ(raw(*device, 0, 0), 0u);
    EXPECT_EQ(raw(*device, 2, 1), 0x00010203u);   // brushes leave the spare byte 0

    gdi::HDC other = gdi::CreateCompatibleDC(dc);
    EXPECT_EQ(gdi::SelectObject(other, bmp), nullptr);   // one context at a time
    EXPECT_FALSE(gdi::DeleteObject(bmp));
    EXPECT_FALSE(gdi::DeleteObject(brush));
    gdi::SelectObject(dc, white);
    EXPECT_TRUE(gdi::DeleteObject(brush));
    EXPECT_FALSE(gdi::DeleteObject(brush));
    EXPECT_EQ(gdi::SelectObject(dc, brush), nullptr);

    // A picture object that owns the bitmap takes it: the handle goes, the pixels stay.
    const ole::PICTDESC desc{ole::kPictDescSize, ole::PICTYPE_BITMAP, bmp, nullptr};
    platform::Picture pic;
    EXPECT_EQ(ole::OleCreatePictureIndirect(&desc, ole::IID_IDispatch, true, &pic), ole::E_INVALIDARG);
    gdi::SelectObject(dc, stock);
    EXPECT_EQ(ole::OleCreatePictureIndirect(&desc, platform::gdiplus::GUID{}, true, &pic),
              ole::E_NOINTERFACE);
    EXPECT_EQ(ole::OleCreatePictureIndirect(&desc, ole::IID_IDispatch, true, &pic), ole::S_OK);
    EXPECT_EQ(pic.image().size(), QSize(3, 2));
    EXPECT_EQ(raw(pic.image(), 2, 1), 0x00010203u);
    EXPECT_FALSE(gdi::DeleteObject(bmp));
    EXPECT_TRUE(gdi::DeleteDC(other));
    EXPECT_TRUE(gdi::DeleteDC(dc));
    EXPECT_FALSE(gdi::DeleteDC(dc));
    EXPECT_EQ(gdi::liveHandleCount(), before);
}
