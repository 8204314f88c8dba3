#include "tools/DDBHelper.h"
#include "platform/Errors.h"
#include "platform/Gdi.h"
#include "platform/GdiBitmap.h"
#include "platform/Surface.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace DDBHelper;
namespace gdi = platform::gdi;

namespace {

// Runs each test at a display depth and puts the default back afterwards.
class DisplayDepth {
public:
    explicit DisplayDepth(int bits) { gdi::setDisplayDepth(bits); }
    ~DisplayDepth() { gdi::setDisplayDepth(32); }
};

// A borderless surface whose drawable area is w x h pixels, drawing kept.
void shape(platform::Surface &s, int w, int h)
{
    s.setScaleMode(platform::ScaleMode::Pixels);
    s.setBorder(false);
    s.setOuterSize(w, h, platform::ScaleMode::Pixels);
    s.setAutoRedraw(true);
}

void paint(platform::Surface &s, const QImage &image)
{
    shape(s, image.width(), image.height());
    s.drawTarget() = image.convertToFormat(QImage::Format_RGB32);
}

QByteArray rawBits(platform::Surface &s)
{
    gdi::BITMAP bm{};
    gdi::GetObjectA(s.drawTarget(), sizeof bm, &bm);
    QByteArray raw(bm.bmWidthBytes * bm.bmHeight, '\x55');
    const long n = gdi::GetBitmapBits(s.drawTarget(), raw.size(), reinterpret_cast<std::uint8_t *>(raw.data()));
    raw.resize(n);
    return raw;
}

PixelTriple bgr(int b, int g, int r) { return {std::uint8_t(b), std::uint8_t(g), std::uint8_t(r)}; }

class DDBLayouts : public ::testing::TestWithParam<int> {
protected:
    testsupport::ScriptedFixture fixture;
};

} // namespace

TEST_P(DDBLayouts, TheGridRebuildsTheRawImage)
{
    const int depth = GetParam();
    DisplayDepth display(depth);
    platform::Surface from, to;
    // Odd width: every layout but 15/16/32 pads its rows.
    paint(from, testsupport::gradientImage(7, 5));
    const QByteArray raw = rawBits(from);

    PixelGrid grid;
    FormatCode bits = 0;
    GetBitmapPixels(from, grid, bits);
    EXPECT_EQ(bits, depth);
    EXPECT_EQ(grid.width(), 7);
    EXPECT_EQ(grid.height(), 5);

    shape(to, 7, 5);
    SetBitmapPixels(to, bits, grid);
    EXPECT_EQ(rawBits(to), raw);
    // Reading the written surface gives the same grid again.
    PixelGrid again;
    GetBitmapPixels(to, again, bits);
    EXPECT_EQ(again, grid);
}

TEST_P(DDBLayouts, ChannelsArriveInTheirPlaces)
{
    const int depth = GetParam();
    DisplayDepth display(depth);
    platform::Surface s;
    QImage img(2, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(255, 0, 0));      // in the palette display's static colours
    img.setPixel(1, 0, qRgb(0, 128, 255));
    paint(s, img);
    PixelGrid grid;
    FormatCode bits = 0;
    GetBitmapPixels(s, grid, bits);
    switch (depth) {
    case 32:
    case 24:
        EXPECT_EQ(grid(0, 0), bgr(0, 0, 255));
        EXPECT_EQ(grid(1, 0), bgr(255, 128, 0));
        break;
    case 16:
        EXPECT_EQ(grid(0, 0), bgr(0, 0, 31));
        EXPECT_EQ(grid(1, 0), bgr(31, 32, 0));
        break;
    case 15:
        EXPECT_EQ(grid(0, 0), bgr(0, 0, 31));
        EXPECT_EQ(grid(1, 0), bgr(31, 16, 0));
        break;
    case 8:
        EXPECT_EQ(grid(0, 0), bgr(0, 0, 255));
        EXPECT_EQ(grid(1, 0), bgr(255, 153, 0));   // the nearest colour of the palette
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDisplay, DDBLayouts, ::testing::Values(8, 15, 16, 24, 32));

TEST(DDBHelper, ThirtyTwoBitsDropOnlyTheSpareByte)
{
    testsupport::ScriptedFixture fixture;
    platform::Surface s;
    shape(s, 2, 1);
    const std::uint8_t raw[8] = {10, 20, 30, 0x7F, 40, 50, 60, 0xEE};
    gdi::SetBitmapBits(s.drawTarget(), 8, raw);
    PixelGrid grid;
    FormatCode bits = 0;
    GetBitmapPixels(s, grid, bits);
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(grid(0, 0), bgr(10, 20, 30));
    EXPECT_EQ(grid(1, 0), bgr(40, 50, 60));
    SetBitmapPixels(s, bits, grid);
    const QByteArray back = rawBits(s);
    EXPECT_EQ(back, QByteArray("\x0a\x14\x1e\x00\x28\x32\x3c\x00", 8));
}

TEST(DDBHelper, TwentyFourBitRowsArePaddedOnlyInTheRawImage)
{
    testsupport::ScriptedFixture fixture;
    DisplayDepth display(24);
    platform::Surface s, t;
    const QImage img = testsupport::gradientImage(3, 2).convertToFormat(QImage::Format_RGB32);
    paint(s, img);
    gdi::BITMAP bm{};
    gdi::GetObjectA(s.drawTarget(), sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidthBytes, 10);
    EXPECT_EQ(bm.bmBitsPixel, 24);

    PixelGrid grid;
    FormatCode bits = 0;
    GetBitmapPixels(s, grid, bits);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t *>(grid.row(1))
                  - reinterpret_cast<const std::uint8_t *>(grid.row(0)), 9);
    shape(t, 3, 2);
    SetBitmapPixels(t, bits, grid);
    EXPECT_EQ(t.drawTarget(), img);
}

TEST(DDBHelper, TellsTheSixteenBitLayoutsApartAndKeepsTheTopLeftPixel)
{
    testsupport::ScriptedFixture fixture;
    for (const int depth : {16, 15}) {
        SCOPED_TRACE(depth);
        DisplayDepth display(depth);
        platform::Surface s;
        QImage img(2, 2, QImage::Format_RGB32);
        img.fill(Qt::white);
        img.setPixel(0, 0, qRgb(9, 130, 250));
        paint(s, img);
        PixelGrid grid;
        FormatCode bits = 0;
        GetBitmapPixels(s, grid, bits);
        EXPECT_EQ(bits, depth);
        EXPECT_EQ(grid(1, 1), depth == 16 ? bgr(31, 63, 31) : bgr(31, 31, 31));
        EXPECT_EQ(s.drawTarget().pixel(0, 0), qRgb(9, 130, 250));
        EXPECT_EQ(grid(0, 0), depth == 16 ? bgr(250 >> 3, 130 >> 2, 9 >> 3) : bgr(250 >> 3, 130 >> 3, 9 >> 3));
    }
}

TEST(DDBHelper, ClampsOverRangeChannelsInTheCallersGrid)
{
    testsupport::ScriptedFixture fixture;
    for (const int depth : {16, 15}) {
        SCOPED_TRACE(depth);
        DisplayDepth display(depth);
        platform::Surface s;
        shape(s, 2, 1);
        PixelGrid grid(2, 1);
        grid(0, 0) = bgr(200, 200, 200);
        grid(1, 0) = bgr(3, 40, 5);
        SetBitmapPixels(s, FormatCode(depth), grid);
        EXPECT_EQ(grid(0, 0), depth == 16 ? bgr(31, 63, 31) : bgr(31, 31, 31));
        EXPECT_EQ(grid(1, 0), depth == 16 ? bgr(3, 40, 5) : bgr(3, 31, 5));
        EXPECT_EQ(s.drawTarget().pixel(0, 0), qRgb(255, 255, 255));
    }
}

TEST(DDBHelper, RefusesUnknownPixelFormats)
{
    testsupport::ScriptedFixture fixture;
    platform::Surface s;
    shape(s, 2, 2);
    PixelGrid grid(2, 2);
    try {
        SetBitmapPixels(s, 4, grid);
        FAIL() << "bits 4 was accepted";
    } catch (const platform::AppError &e) {
        EXPECT_EQ(e.number(), 0x800403E9);
        EXPECT_EQ(e.source(), "DDBHelper.GetBitmapPixels");
        EXPECT_EQ(e.description(), "Invalid number of bits per pixel: 4");
    }
    // A display whose bitmaps have another layout is refused when read, with its own code.
    DisplayDepth display(1);
    FormatCode bits = 0;
    try {
        GetBitmapPixels(s, grid, bits);
        FAIL() << "a 1-bit bitmap was read";
    } catch (const platform::AppError &e) {
        EXPECT_EQ(e.description(), "Invalid number of bits per pixel: 1");
        EXPECT_EQ(e.source(), "DDBHelper.GetBitmapPixels");
    }
}

TEST(DDBHelper, PaletteDisplayMatchesThePictureToTheSystemPalette)
{
    testsupport::ScriptedFixture fixture;
    DisplayDepth display(8);
    platform::Surface s;
    shape(s, 2, 1);
    // A picture palette out of step with the display: a short one.
    gdi::Palette &pal = gdi::picturePalette(s);
    ASSERT_TRUE(gdi::ResizePalette(pal, 16));
    MatchColorPalette(s);
    ASSERT_EQ(pal.entries.size(), 256u);
    gdi::PALETTEENTRY sys[256];
    ASSERT_EQ(gdi::GetSystemPaletteEntries(0, 256, sys), 256u);
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pal.entries[i].peRed, sys[i].peRed);
        EXPECT_EQ(pal.entries[i].peGreen, sys[i].peGreen);
        EXPECT_EQ(pal.entries[i].peBlue, sys[i].peBlue);
        EXPECT_EQ(pal.entries[i].peFlags, i < 10 || i >= 246 ? 0 : gdi::PC_NOCOLLAPSE);
    }

    // Writing maps each colour to the nearest entry.
    PixelGrid grid(2, 1);
    grid(0, 0) = bgr(5, 5, 250);     // near red
    grid(1, 0) = bgr(100, 100, 100); // near the grey 102 of the colour cube
    SetBitmapPixels(s, 8, grid);
    EXPECT_EQ(s.drawTarget().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(s.drawTarget().pixel(1, 0), qRgb(102, 102, 102));
}

TEST(DDBHelper, RotatesTheGrid)
{
    PixelGrid g(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            g(x, y) = bgr(x, y, 7);
    const PixelGrid plus = RotateGrid(g, 90);
    ASSERT_EQ(plus.width(), 2);
    ASSERT_EQ(plus.height(), 3);
    EXPECT_EQ(plus(1, 0), g(0, 0));    // top-left to top-right
    EXPECT_EQ(plus(0, 2), g(2, 1));
    const PixelGrid minus = RotateGrid(g, 270);
    EXPECT_EQ(minus(0, 2), g(0, 0));   // top-left to bottom-left
    const PixelGrid half = RotateGrid(g, 180);
    EXPECT_EQ(half(2, 1), g(0, 0));
    EXPECT_EQ(RotateGrid(RotateGrid(plus, 90), 180), g);
    EXPECT_EQ(RotateGrid(minus, 90), g);
}
