#include "platform/Gdi.h"
#include "platform/Surface.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct SurfaceTest : ::testing::Test {
    testsupport::ScriptedFixture fx;
};

} // namespace

TEST_F(SurfaceTest, GeometryInTwipsAndPixelsAndBorder)
{
    Surface s;
    s.setBorder(false);
    s.setOuterSize(1500, 750, ScaleMode::Twips);
    EXPECT_EQ(s.outerWidthPx(), 100);
    EXPECT_EQ(s.outerHeightPx(), 50);
    EXPECT_DOUBLE_EQ(s.innerWidth(), 1500);   // twips by default
    s.setScaleMode(ScaleMode::Pixels);
    EXPECT_DOUBLE_EQ(s.innerWidth(), 100);
    s.setBorder(true);
    // The border takes its pixels off the drawable area, not off the outer size.
    EXPECT_EQ(s.innerWidthPx(), 100 - 2 * Surface::kBorderPx);
    EXPECT_EQ(s.persistentImage().width(), 100 - 2 * Surface::kBorderPx);
}

TEST_F(SurfaceTest, PersistentDrawingSurvivesRefreshTransientDoesNot)
{
    Surface s;
    s.setBorder(false);
    s.setScaleMode(ScaleMode::Pixels);
    s.setOuterSize(40, 20, ScaleMode::Pixels);
    s.setBackColor(Qt::black);
    s.setAutoRedraw(true);
    s.paintPicture(Picture(QImage(1, 1, QImage::Format_RGB32)), 0, 0, 0, 0);   // nothing
    QImage red(10, 10, QImage::Format_RGB32);
    red.fill(Qt::red);
    s.paintPicture(Picture(red), 0, 0, 10, 10);
    EXPECT_EQ(s.persistentImage().pixel(5, 5), qRgb(255, 0, 0));

    s.setAutoRedraw(false);
    QImage blue(10, 10, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    s.paintPicture(Picture(blue), 20, 0, 10, 10);
    EXPECT_EQ(s.visibleImage().pixel(25, 5), qRgb(0, 0, 255));
    EXPECT_EQ(s.persistentImage().pixel(25, 5), qRgb(0, 0, 0));
    s.refresh();
    EXPECT_EQ(s.visibleImage().pixel(25, 5), qRgb(0, 0, 0));
    EXPECT_EQ(s.visibleImage().pixel(5, 5), qRgb(255, 0, 0));
    // Cls without persistent drawing clears only the transient drawing.
    s.cls();
    EXPECT_EQ(s.visibleImage().pixel(5, 5), qRgb(255, 0, 0));
    s.setAutoRedraw(true);
    s.cls();
    EXPECT_EQ(s.persistentImage().pixel(5, 5), qRgb(0, 0, 0));
}

TEST_F(SurfaceTest, PaintPictureScalesIntoTwipRectangle)
{
    Surface s;
    s.setBorder(false);
    s.setAutoRedraw(true);
    s.setOuterSize(3000, 3000, ScaleMode::Twips);
    Picture p(testsupport::gradientImage(400, 400));
    s.paintPicture(p, 0, 0, 1500, 750);   // 100 x 50 pixels
    Picture shot = s.image();
    EXPECT_EQ(shot.image().size(), QSize(200, 200));
    EXPECT_NE(shot.image().pixel(99, 49), s.persistentImage().pixel(150, 150));
    EXPECT_EQ(shot.image().pixel(150, 150), s.backColor().rgb());
}

TEST_F(SurfaceTest, AnAdoptedImageIsWhatPaintingItGivesWithoutACopyOfItsPixels)
{
    QImage photo = testsupport::gradientImage(300, 200).convertToFormat(QImage::Format_RGB32);
    photo.setDotsPerMeterX(2835);   // a file's own 72 dpi
    photo.setDotsPerMeterY(2835);
    Surface painted;
    painted.setScaleMode(ScaleMode::Pixels);
    painted.setBorder(false);
    painted.setAutoRedraw(true);
    painted.setOuterSize(300, 200, ScaleMode::Pixels);
    painted.paintPicture(Picture(photo), 0, 0, 300, 200);

    Surface adopted;
    adopted.setBorder(false);
    adopted.setAutoRedraw(true);
    QImage handed = photo.copy();
    const uchar *bits = handed.constBits();
    adopted.adoptImage(std::move(handed));
    EXPECT_EQ(adopted.innerWidthPx(), 300);
    EXPECT_EQ(adopted.innerHeightPx(), 200);
    EXPECT_TRUE(adopted.picture().isNull());
    EXPECT_EQ(adopted.persistentImage(), painted.persistentImage());
    EXPECT_EQ(adopted.persistentImage().dotsPerMeterX(), painted.persistentImage().dotsPerMeterX());
    // Drawn on where it lies: still the one buffer.
    adopted.drawTarget().setPixel(1, 1, qRgb(1, 2, 3));
    EXPECT_EQ(adopted.persistentImage().constBits(), bits);
    EXPECT_EQ(adopted.visibleImage().pixel(1, 1), qRgb(1, 2, 3));
}

// The short cuts a run takes through a surface (a clear after a clear, its own image taken as
// its picture, the doubled output made apart) leave what the long way leaves.
TEST_F(SurfaceTest, ShortCutsLeaveWhatPaintingAndClearingLeave)
{
    QImage photo = testsupport::gradientImage(90, 60).convertToFormat(QImage::Format_RGB32);
    photo.setDotsPerMeterX(2835);
    auto fresh = [] {
        Surface s;
        s.setScaleMode(ScaleMode::Pixels);
        s.setBorder(false);
        s.setAutoRedraw(true);
        s.setOuterSize(90, 60, ScaleMode::Pixels);
        return s;
    };
    const QImage blank = fresh().persistentImage().copy();

    // Cleared twice, with drawing and a new background colour in between.
    Surface s = fresh();
    s.paintPicture(Picture(photo), 0, 0, 90, 60);
    s.clearPicture();
    EXPECT_EQ(s.persistentImage(), blank);
    s.drawTarget().setPixel(3, 3, qRgb(9, 9, 9));
    s.cls();
    EXPECT_EQ(s.persistentImage(), blank) << "a drawing between two clears survived";
    s.setBackColor(Qt::red);
    s.cls();
    EXPECT_EQ(s.persistentImage().pixel(5, 5), QColor(Qt::red).rgb());

    // Its own image as its picture: the same pixels, and drawing on it leaves the picture be.
    Surface fit = fresh();
    fit.paintPicture(Picture(photo), 0, 0, 90, 60);
    const QImage painted = fit.persistentImage().copy();
    fit.setPicture(fit.image());
    EXPECT_EQ(fit.persistentImage(), painted);
    fit.drawTarget().setPixel(1, 1, qRgb(1, 2, 3));
    EXPECT_EQ(fit.picture().image(), painted);
    fit.cls();
    EXPECT_EQ(fit.persistentImage(), painted) << "clearing the drawing lost the picture";

    // The doubled output made apart is the surface painted and handed over; the surface stays
    // cleared. A picture with alpha takes the long way.
    Surface twice = fresh(), longWay = fresh();
    for (Surface *t : {&twice, &longWay}) {
        t->setOuterSize(180, 120, ScaleMode::Pixels);
        t->clearPicture();
    }
    longWay.paintPicture(Picture(photo), 0, 0, 180, 120);
    const QImage whole = twice.paintedWhole(Picture(photo));
    EXPECT_EQ(whole, longWay.persistentImage());
    EXPECT_EQ(whole.dotsPerMeterX(), longWay.persistentImage().dotsPerMeterX());
    EXPECT_EQ(twice.persistentImage().pixel(7, 7), blank.pixel(7, 7));
    EXPECT_TRUE(twice.paintedWhole(Picture(photo.convertToFormat(QImage::Format_ARGB32))).isNull());
}

TEST_F(SurfaceTest, PrintPlacesTextAtDrawingPositionAndMovesToNextLine)
{
    Surface s;
    s.setBorder(false);
    s.setScaleMode(ScaleMode::Pixels);
    s.setOuterSize(300, 100, ScaleMode::Pixels);
    s.setAutoRedraw(true);
    s.setBackColor(Qt::black);
    s.foreColor = Qt::white;
    s.font = FontSpec{QStringLiteral("DejaVu Sans"), 20, true, false};
    s.currentX = 100;
    s.currentY = 30;
    s.print(QStringLiteral("MMM"));
    const QImage &img = s.persistentImage();
    QRect lit;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qRed(img.pixel(x, y)) > 128)
                lit |= QRect(x, y, 1, 1);
    ASSERT_FALSE(lit.isNull());
    EXPECT_GE(lit.left(), 100);
    EXPECT_GE(lit.top(), 30);
    EXPECT_LE(lit.right(), 100 + s.textWidth(QStringLiteral("MMM")) + 1);
    EXPECT_DOUBLE_EQ(s.currentX, 0);
    EXPECT_NEAR(s.currentY, 30 + s.textHeight(QStringLiteral("MMM")), 0.01);
    // Text sizes follow the surface's units.
    const double px = s.textWidth(QStringLiteral("MMM"));
    s.setScaleMode(ScaleMode::Twips);
    EXPECT_DOUBLE_EQ(s.textWidth(QStringLiteral("MMM")), px * 15);
}

TEST_F(SurfaceTest, ASurfaceKeepingAlphaLeavesTransparentPartsTransparentAndDrawsOverThem)
{
    // Left column opaque red, middle half-transparent blue, right column clear.
    QImage picture(60, 20, QImage::Format_ARGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x)
            picture.setPixel(x, y, x < 20 ? qRgba(200, 30, 30, 255) : x < 40 ? qRgba(0, 0, 255, 128) : qRgba(0, 0, 0, 0));
    Surface s;
    s.setBorder(false);
    s.setScaleMode(ScaleMode::Pixels);
    s.setAutoRedraw(true);
    s.setBackColor(QColor(0xF0, 0xF0, 0xF0));
    s.setKeepsAlpha(true);
    s.setOuterSize(60, 20, ScaleMode::Pixels);
    s.paintPicture(Picture(picture), 0, 0, 60, 20);
    {
        const QImage img = s.persistentImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(img.pixel(5, 10), qRgba(200, 30, 30, 255));
        // The background colour does not show through, neither in a half-transparent pixel
        // nor in a clear one.
        const QRgb half = img.pixel(30, 10);
        EXPECT_NEAR(qAlpha(half), 128, 1);
        EXPECT_LE(qRed(half), 2);
        EXPECT_GE(qBlue(half), 253);
        EXPECT_EQ(qAlpha(img.pixel(55, 10)), 0);
    }
    // Text drawn over the clear part is there, as opaque as its glyphs.
    s.foreColor = Qt::black;
    s.font.size = 12;
    s.currentX = 40;
    s.currentY = 0;
    s.print(QStringLiteral("M"));
    int opaque = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 40; x < 60; ++x)
            opaque += qAlpha(s.persistentImage().pixel(x, y)) == 255;
    EXPECT_GT(opaque, 5);

    // Opaque again: the picture box it always was, background colour and all.
    s.setKeepsAlpha(false);
    EXPECT_EQ(s.persistentImage().format(), QImage::Format_RGB32);
    s.paintPicture(Picture(picture), 0, 0, 60, 20);
    EXPECT_EQ(s.persistentImage().pixel(55, 10), qRgb(0xF0, 0xF0, 0xF0));
}

TEST(Gdi, AlphaBlendOntoATransparentDestinationAddsToItsAlpha)
{
    QImage dst(4, 1, QImage::Format_ARGB32_Premultiplied);
    dst.fill(Qt::transparent);
    dst.setPixel(2, 0, qRgba(100, 50, 0, 255));   // opaque
    dst.setPixel(3, 0, qRgba(0, 0, 64, 128));     // half-transparent, premultiplied
    QImage glyph(4, 1, QImage::Format_RGB32);
    glyph.fill(qRgb(255, 255, 255));
    glyph.setPixel(1, 0, qRgb(0, 0, 0));
    const auto blend = gdi::packBlendFunction({gdi::AC_SRC_OVER, 0, 230, gdi::AC_SRC_ALPHA});
    ASSERT_TRUE(gdi::AlphaBlend(dst, 0, 0, 4, 1, glyph, 0, 0, blend));
    // A white glyph on a clear pixel: white at the blend's opacity.
    EXPECT_EQ(dst.pixel(0, 0), qRgba(230, 230, 230, 230));
    // The black around glyphs changes nothing, not even the alpha.
    EXPECT_EQ(dst.pixel(1, 0), qRgba(0, 0, 0, 0));
    // An opaque pixel comes out as on an opaque surface.
    EXPECT_EQ(dst.pixel(2, 0), qRgba(255, 255, 230, 255));
    EXPECT_EQ(dst.pixel(3, 0), qRgba(230, 230, 255, 255));

    // A logo with transparency of its own is laid over: its clear pixels leave a clear
    // destination clear, its opaque ones bring the blend's opacity.
    QImage clear(2, 1, QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    QImage logo(2, 1, QImage::Format_ARGB32_Premultiplied);
    logo.setPixel(0, 0, qRgba(0, 0, 0, 0));
    logo.setPixel(1, 0, qRgba(128, 0, 0, 255));
    gdi::AlphaBlend(clear, 0, 0, 2, 1, logo, 0, 0,
                    gdi::packBlendFunction({gdi::AC_SRC_OVER, 0, 128, gdi::AC_SRC_ALPHA}));
    EXPECT_EQ(clear.pixel(0, 0), qRgba(0, 0, 0, 0));
    EXPECT_EQ(clear.pixel(1, 0), qRgba(64, 0, 0, 128));
}

TEST(Gdi, AlphaBlendWithoutSourceAlphaAddsTheScaledSource)
{
    QImage dst(4, 1, QImage::Format_RGB32);
    dst.fill(qRgb(0, 0, 0));
    dst.setPixel(1, 0, qRgb(255, 255, 255));
    dst.setPixel(2, 0, qRgb(100, 50, 0));
    QImage src(4, 1, QImage::Format_RGB32);
    src.fill(qRgb(255, 255, 255));
    src.setPixel(3, 0, qRgb(0, 0, 0));
    const auto blend = gdi::packBlendFunction({gdi::AC_SRC_OVER, 0, 230, gdi::AC_SRC_ALPHA});
    EXPECT_EQ(blend, 230u * 65536u + 16777216u);
    ASSERT_TRUE(gdi::AlphaBlend(dst, 0, 0, 4, 1, src, 0, 0, blend));
    EXPECT_EQ(dst.pixel(0, 0), qRgb(230, 230, 230));   // black + white glyph
    EXPECT_EQ(dst.pixel(1, 0), qRgb(255, 255, 255));   // held at 255
    EXPECT_EQ(dst.pixel(2, 0), qRgb(255, 255, 230));
    EXPECT_EQ(dst.pixel(3, 0), qRgb(0, 0, 0));         // black source changes nothing
}

TEST(Gdi, AlphaBlendWithPremultipliedSourceLaysItOver)
{
    QImage dst(3, 1, QImage::Format_RGB32);
    dst.fill(qRgb(0, 0, 200));
    QImage src(3, 1, QImage::Format_ARGB32_Premultiplied);
    src.setPixel(0, 0, qRgba(255, 255, 255, 255));   // opaque white
    src.setPixel(1, 0, qRgba(0, 0, 0, 0));           // transparent
    src.setPixel(2, 0, qRgba(128, 0, 0, 128));       // half-transparent red, premultiplied
    const auto blend = gdi::packBlendFunction({gdi::AC_SRC_OVER, 0, 254, gdi::AC_SRC_ALPHA});
    gdi::AlphaBlend(dst, 0, 0, 3, 1, src, 0, 0, blend);
    EXPECT_EQ(dst.pixel(0, 0), qRgb(254, 254, 255));
    EXPECT_EQ(dst.pixel(1, 0), qRgb(0, 0, 200));
    EXPECT_NEAR(qRed(dst.pixel(2, 0)), 128, 1);
    EXPECT_NEAR(qBlue(dst.pixel(2, 0)), 100, 1);
}

TEST(Gdi, BlitsAreClippedToBothImages)
{
    QImage dst(4, 4, QImage::Format_RGB32);
    dst.fill(qRgb(0, 0, 0));
    QImage src = testsupport::gradientImage(3, 3);
    EXPECT_TRUE(gdi::BitBlt(dst, 2, 2, 3, 3, src, 0, 0));
    EXPECT_EQ(dst.pixel(3, 3), src.pixel(1, 1));
    EXPECT_EQ(dst.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_TRUE(gdi::AlphaBlend(dst, -1, -1, 3, 3, src, 0, 0, 255u << 16));
    EXPECT_FALSE(gdi::AlphaBlend(dst, 0, 0, -1, 3, src, 0, 0, 255u << 16));
    gdi::PatBlt(dst, 0, 0, 10, 1, qRgb(9, 9, 9));
    EXPECT_EQ(dst.pixel(3, 0), qRgb(9, 9, 9));
}
