#pragma once
#include <QImage>
#include <cstdint>

// Stand-ins for the few GDI and msimg32 calls the picture tools make, working on the images
// of surfaces. Surfaces are 32-bit images; a surface filled and drawn on by plain drawing
// carries alpha 0 in the device's sense (see AlphaBlend).
namespace platform::gdi {

struct BLENDFUNCTION {
    std::uint8_t BlendOp;
    std::uint8_t BlendFlags;
    std::uint8_t SourceConstantAlpha;
    std::uint8_t AlphaFormat;
};
constexpr std::uint8_t AC_SRC_OVER = 0;
constexpr std::uint8_t AC_SRC_ALPHA = 1;

// The four bytes read as one 32-bit value, lowest byte first (what RtlMoveMemory gives).
std::uint32_t packBlendFunction(const BLENDFUNCTION &bf);

// Blends (sx, sy, w, h) of `src` onto `dst` at (x, y) with the constant opacity A of `blend`:
// per channel, result = src × A / 255 + dst × (1 − α × A / (255 × 255)), held at 255, where α
// is the source pixel's alpha. A Format_RGB32 source has α = 0 everywhere (plain drawing on a
// device leaves the spare byte 0); a source with an alpha channel supplies its own α
// (premultiplied, as device bitmaps hold it). Without AC_SRC_ALPHA in AlphaFormat, α counts
// as 255: result = src × A / 255 + dst × (1 − A / 255).
// Parts of the rectangle outside either image are left out. Returns false when the call
// is invalid (negative size, null image).
bool AlphaBlend(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy,
                std::uint32_t blend);

// Copies (sx, sy, w, h) of `src` to `dst` at (x, y) (SRCCOPY), clipped to both images.
bool BitBlt(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy);

// Fills (x, y, w, h) of `dst` with `color` (PatBlt with PATCOPY and a solid brush).
bool PatBlt(QImage &dst, int x, int y, int w, int h, QRgb color);

// Bits per pixel of the display (and so of device-dependent bitmaps): 32 by default.
// Tests set 8, 15, 16 or 24 to run the other layouts. 15 is the 16-bit 5-5-5 layout
// (the device reports it as 16).
int displayDepth();
void setDisplayDepth(int bits);

} // namespace platform::gdi
