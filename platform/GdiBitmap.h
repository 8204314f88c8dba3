#pragma once
#include <QImage>
#include <cstdint>
#include <vector>

namespace platform { class Surface; }

// Stand-ins for the device-dependent bitmap and palette calls of the pixel helper. The device
// bitmap of a surface is its drawn image (Surface::drawTarget); these calls show it in the raw
// layout of the display depth (gdi::displayDepth): 8 bits with the system palette, 5-5-5,
// 5-6-5, 24 or 32 bits per pixel, rows top first, each padded to an even number of bytes.
// The drawn image keeps eight bits per channel; a depth below 24 is seen through its
// quantisation, and writing raw pixels expands them back (5 bits v -> v << 3 | v >> 2), so that
// what is written is read back unchanged.
namespace platform::gdi {

// GDI's BITMAP as the 32-bit API lays it out (24 bytes).
struct BITMAP {
    std::int32_t bmType;
    std::int32_t bmWidth;
    std::int32_t bmHeight;
    std::int32_t bmWidthBytes;
    std::uint16_t bmPlanes;
    std::uint16_t bmBitsPixel;
    std::uint32_t bmBits;
};
static_assert(sizeof(BITMAP) == 24);

struct PALETTEENTRY {
    std::uint8_t peRed;
    std::uint8_t peGreen;
    std::uint8_t peBlue;
    std::uint8_t peFlags;
};
static_assert(sizeof(PALETTEENTRY) == 4);

constexpr std::uint8_t PC_NOCOLLAPSE = 4;
// A COLORREF with this flag names a colour to be matched in the logical palette.
constexpr std::uint32_t kPaletteRelative = 0x02000000;
// GetDeviceCaps indexes.
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int SIZEPALETTE = 104;
constexpr int NUMRESERVED = 106;
// A logical palette holds at most this many entries.
constexpr std::uint32_t kMaxPaletteEntries = 1024;

// COLORREF 0x00BBGGRR.
constexpr std::uint32_t RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16;
}

// Bytes of one raw row of a `width`-pixel bitmap at `bitsPerPixel` (15 for 5-5-5), padded to
// an even length; 0 for a depth the device bitmaps never have.
int bitmapRowBytes(int bitsPerPixel, int width);

// Fills `out` (at most `size` bytes) with the description of the device bitmap; returns the
// number of bytes written. A 5-5-5 display reports 16 bits per pixel, as the device does.
int GetObjectA(const QImage &bitmap, int size, BITMAP *out);
// Copies up to `count` bytes of the raw image; returns the number copied.
long GetBitmapBits(const QImage &bitmap, long count, std::uint8_t *bits);
// Sets the image from up to `count` raw bytes (whole rows first to last); returns the number used.
long SetBitmapBits(QImage &bitmap, long count, const std::uint8_t *bits);

// A logical palette (HPALETTE).
struct Palette {
    std::vector<PALETTEENTRY> entries;
};

std::uint32_t GetPaletteEntries(const Palette &pal, std::uint32_t start, std::uint32_t count,
                                PALETTEENTRY *out);
std::uint32_t SetPaletteEntries(Palette &pal, std::uint32_t start, std::uint32_t count,
                                const PALETTEENTRY *in);
// False when the size is 0 or above kMaxPaletteEntries.
bool ResizePalette(Palette &pal, std::uint32_t count);
// The entry nearest to the colour (squared distance in RGB; the first of equals).
std::uint32_t GetNearestPaletteIndex(const Palette &pal, std::uint32_t colorRef);
// The display's palette: 20 reserved static colours (10 at each end) around a 6 x 6 x 6 colour
// cube and 20 greys. Only a palette display (depth 8) has one.
std::uint32_t GetSystemPaletteEntries(std::uint32_t start, std::uint32_t count, PALETTEENTRY *out);
int GetDeviceCaps(int index);
// Maps the palette into the system palette; the display's palette is fixed, so nothing moves.
std::uint32_t RealizePalette(const Palette &pal);

// The palette of the surface's picture, the system palette until it is changed.
Palette &picturePalette(Surface &surface);

} // namespace platform::gdi
