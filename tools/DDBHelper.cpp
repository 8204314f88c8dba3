#include "tools/DDBHelper.h"
#include "platform/Errors.h"
#include "platform/GdiBitmap.h"
#include "platform/Surface.h"
#include "platform/Toolkit.h"

#include <QTransform>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace gdi = platform::gdi;

namespace DDBHelper {
namespace {

// The 32-bit copies below move whole little-endian words.
static_assert(std::endian::native == std::endian::little);

constexpr int kPaletteTable = 256;
constexpr std::uint8_t kMax5 = 31;
constexpr std::uint8_t kMax6 = 63;
constexpr QRgb kWhite = 0xFFFFFFFF;

[[noreturn]] void throwBits(int bits)
{
    throw platform::AppError(platform::ErrorKind::BitsPerPixel, {QString::number(bits)});
}

[[noreturn]] void throwPalette() { throw platform::AppError(platform::ErrorKind::PaletteNotMatched, {}); }

bool knownCode(int bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// The raw image's own rows are read as the bitmap describes them; the grid rows are W wide.
void rawToGrid(int bits, const std::uint8_t *raw, int rowBytes, const gdi::PALETTEENTRY *palette,
               PixelGrid &pixels)
{
    const int w = pixels.width();
    for (int y = 0; y < pixels.height(); ++y) {
        const std::uint8_t *src = raw + std::size_t(y) * rowBytes;
        PixelTriple *dst = pixels.row(y);
        switch (bits) {
        case 8:
            for (int x = 0; x < w; ++x) {
                const gdi::PALETTEENTRY &e = palette[src[x]];
                dst[x] = {e.peBlue, e.peGreen, e.peRed};
            }
            break;
        case 15:
            for (int x = 0; x < w; ++x) {
                const unsigned v = src[2 * x] | unsigned(src[2 * x + 1]) << 8;
                dst[x] = {std::uint8_t(v & 31), std::uint8_t((v >> 5) & 31), std::uint8_t(v >> 10)};
            }
            break;
        case 16:
            for (int x = 0; x < w; ++x) {
                const unsigned v = src[2 * x] | unsigned(src[2 * x + 1]) << 8;
                dst[x] = {std::uint8_t(v & 31), std::uint8_t((v >> 5) & 63), std::uint8_t(v >> 11)};
            }
            break;
        case 24:
            std::memcpy(dst, src, std::size_t(3) * w);
            break;
        case 32: {
            // Whole words copied onto the grid, each overlapping the next pixel's place, so
            // that the spare byte is overwritten; the last pixel copies three bytes.
            auto *out = reinterpret_cast<std::uint8_t *>(dst);
            int x = 0;
            for (; x + 1 < w; ++x)
                std::memcpy(out + 3 * x, src + 4 * x, 4);
            if (w > 0)
                std::memcpy(out + 3 * x, src + 4 * x, 3);
            break;
        }
        }
    }
}

void gridToRaw(int bits, PixelGrid &pixels, std::uint8_t *raw, int rowBytes, const gdi::Palette &palette)
{
    const int w = pixels.width();
    // Neighbouring pixels mostly share a colour: remember the last palette match.
    std::uint32_t lastColour = 0xFFFFFFFF;
    std::uint8_t lastIndex = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        std::uint8_t *dst = raw + std::size_t(y) * rowBytes;
        PixelTriple *src = pixels.row(y);
        if (rowBytes > 0)
            dst[rowBytes - 1] = 0;   // the padding byte, when the row has one
        switch (bits) {
        case 8:
            for (int x = 0; x < w; ++x) {
                const std::uint32_t colour = gdi::RGB(src[x].Red, src[x].Green, src[x].Blue);
                if (colour != lastColour) {
                    lastIndex = std::uint8_t(
                        gdi::GetNearestPaletteIndex(palette, colour + gdi::kPaletteRelative) & 0xFF);
                    lastColour = colour;
                }
                dst[x] = lastIndex;
            }
            break;
        case 15:
        case 16: {
            const std::uint8_t greenMax = bits == 16 ? kMax6 : kMax5;
            const unsigned redShift = bits == 16 ? 11 : 10;
            for (int x = 0; x < w; ++x) {
                PixelTriple &p = src[x];
                // The clamped values go back into the caller's grid.
                p.Red = std::min(p.Red, kMax5);
                p.Green = std::min(p.Green, greenMax);
                p.Blue = std::min(p.Blue, kMax5);
                const unsigned v = unsigned(p.Red) << redShift | unsigned(p.Green) << 5 | p.Blue;
                dst[2 * x] = std::uint8_t(v & 0xFF);
                dst[2 * x + 1] = std::uint8_t(v >> 8);
            }
            break;
        }
        case 24:
            std::memcpy(dst, src, std::size_t(3) * w);
            break;
        case 32: {
            // A word read from the grid holds the pixel and the next one's first byte, which
            // the mask turns into the spare byte 0.
            const auto *in = reinterpret_cast<const std::uint8_t *>(src);
            int x = 0;
            for (; x + 1 < w; ++x) {
                std::uint32_t v;
                std::memcpy(&v, in + 3 * x, 4);
                v &= 0x00FFFFFF;
                std::memcpy(dst + 4 * x, &v, 4);
            }
            if (w > 0)
                std::memcpy(dst + 4 * x, in + 3 * x, 3);
            break;
        }
        }
    }
}

void redraw(platform::Surface &surface)
{
    // With persistent drawing on, the drawn image is the persistent one and a refresh shows
    // it; otherwise a refresh would repaint over what was just written.
    if (surface.autoRedraw())
        surface.refresh();
    else
        surface.changed();
}

} // namespace

void GetBitmapPixels(platform::Surface &surface, PixelGrid &pixels, FormatCode &bits)
{
    QImage &image = surface.drawTarget();
    gdi::BITMAP bm{};
    gdi::GetObjectA(image, sizeof bm, &bm);
    int code = bm.bmBitsPixel;

    // The device says 16 for both 16-bit layouts: white has its top bit set only at 5-6-5.
    if (code == 16 && bm.bmWidth > 0 && bm.bmHeight > 0) {
        const QRgb kept = image.pixel(0, 0);
        image.setPixel(0, 0, kWhite);
        std::uint8_t first[2] = {0, 0};
        gdi::GetBitmapBits(image, 2, first);
        if ((first[1] & 0x80) == 0)
            code = 15;
        image.setPixel(0, 0, kept);
    }
    if (!knownCode(code))
        throwBits(code);

    // Every byte, padding included, comes from GetBitmapBits.
    std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>> raw(std::size_t(bm.bmWidthBytes)
                                                                      * std::size_t(bm.bmHeight));
    gdi::GetBitmapBits(image, long(raw.size()), raw.data());

    std::array<gdi::PALETTEENTRY, kPaletteTable> palette{};
    if (code == 8) {
        MatchColorPalette(surface);
        gdi::GetPaletteEntries(gdi::picturePalette(surface), 0, kPaletteTable, palette.data());
    }
    pixels = PixelGrid::uninitialized(bm.bmWidth, bm.bmHeight);
    rawToGrid(code, raw.data(), bm.bmWidthBytes, palette.data(), pixels);
    bits = FormatCode(code);
}

void SetBitmapPixels(platform::Surface &surface, FormatCode bits, PixelGrid &pixels)
{
    if (!knownCode(bits))
        throwBits(bits);
    const int rowBytes = gdi::bitmapRowBytes(bits, pixels.width());
    // Each row is written whole, its padding byte set to 0.
    std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>> raw(std::size_t(rowBytes)
                                                                      * std::size_t(pixels.height()));
    gridToRaw(bits, pixels, raw.data(), rowBytes, gdi::picturePalette(surface));
    gdi::SetBitmapBits(surface.drawTarget(), long(raw.size()), raw.data());
    redraw(surface);
}

void MatchColorPalette(platform::Surface &surface)
{
    gdi::Palette &pal = gdi::picturePalette(surface);
    gdi::RealizePalette(pal);
    platform::doEvents();

    const int n = gdi::GetDeviceCaps(gdi::SIZEPALETTE);
    const int half = gdi::GetDeviceCaps(gdi::NUMRESERVED) / 2;
    // The tables hold 256 entries; a larger system palette cannot be matched.
    if (n <= 0 || n > kPaletteTable || 2 * half > n)
        throwPalette();

    std::array<gdi::PALETTEENTRY, kPaletteTable> sys{};
    gdi::GetSystemPaletteEntries(0, std::uint32_t(n), sys.data());
    if (!gdi::ResizePalette(pal, std::uint32_t(n)))
        throwPalette();

    // Reserved entries as the system has them; the others first black and then the system's
    // colours, each marked not to collapse onto an equal colour elsewhere in the palette.
    std::array<gdi::PALETTEENTRY, kPaletteTable> table{};
    for (int i = 0; i < kPaletteTable; ++i) {
        if (i < half || i >= n - half)
            table[i] = sys[i];
        else
            table[i] = {0, 0, 0, gdi::PC_NOCOLLAPSE};
    }
    gdi::SetPaletteEntries(pal, 0, std::uint32_t(n), table.data());
    for (int i = half; i < n - half; ++i)
        table[i] = {sys[i].peRed, sys[i].peGreen, sys[i].peBlue, gdi::PC_NOCOLLAPSE};
    gdi::SetPaletteEntries(pal, std::uint32_t(half), std::uint32_t(n - 2 * half), table.data() + half);
    gdi::RealizePalette(pal);
}

bool TurnWhole(platform::Surface &from, platform::Surface &to, int angle, int allowanceW, int allowanceH)
{
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270)
        return false;
    const QImage &image = from.drawTarget();
    gdi::BITMAP bm{};
    gdi::GetObjectA(image, sizeof bm, &bm);
    const bool device = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
        || image.format() == QImage::Format_ARGB32_Premultiplied;
    if ((bm.bmBitsPixel != 24 && bm.bmBitsPixel != 32) || !device || image.isNull())
        return false;
    // Qt's quarter and half turns move whole pixels.
    const QImage turned = angle == 0 ? image : image.transformed(QTransform().rotate(angle));
    to.setOuterSize(allowanceW + turned.width(), allowanceH + turned.height(), platform::ScaleMode::Pixels);
    QImage &target = to.drawTarget();
    if (target.format() != QImage::Format_RGB32 && target.format() != QImage::Format_ARGB32
        && target.format() != QImage::Format_ARGB32_Premultiplied)
        target = target.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(target.width(), turned.width()), h = std::min(target.height(), turned.height());
    for (int y = 0; y < h; ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(turned.constScanLine(y));
        auto *out = reinterpret_cast<QRgb *>(target.scanLine(y));
        for (int x = 0; x < w; ++x)
            out[x] = in[x] | 0xFF000000u;
    }
    redraw(to);
    return true;
}

PixelGrid RotateGrid(const PixelGrid &src, int angle)
{
    const int w = src.width(), h = src.height();
    if (angle != 90 && angle != 180 && angle != 270)
        return src;
    if (angle == 180) {
        PixelGrid dst = PixelGrid::uninitialized(w, h);
        for (int y = 0; y < h; ++y) {
            const PixelTriple *row = src.row(y);
            PixelTriple *out = dst.row(h - 1 - y);
            for (int x = 0; x < w; ++x)
                out[w - 1 - x] = row[x];
        }
        return dst;
    }
    // A quarter turn reads rows and writes columns: working in small square tiles keeps the
    // rows read and the rows written in the cache. Within a tile each destination row is
    // written in one sweep.
    constexpr int kTile = 64;
    PixelGrid dst = PixelGrid::uninitialized(h, w);
    for (int ty = 0; ty < h; ty += kTile) {
        const int yEnd = std::min(h, ty + kTile);
        for (int tx = 0; tx < w; tx += kTile) {
            const int xEnd = std::min(w, tx + kTile);
            for (int x = tx; x < xEnd; ++x) {
                // 90: src(x, y) -> dst(h - 1 - y, x); 270: src(x, y) -> dst(y, w - 1 - x).
                if (angle == 90) {
                    PixelTriple *out = dst.row(x) + (h - 1);
                    for (int y = ty; y < yEnd; ++y)
                        *(out - y) = src.row(y)[x];
                } else {
                    PixelTriple *out = dst.row(w - 1 - x);
                    for (int y = ty; y < yEnd; ++y)
                        out[y] = src.row(y)[x];
                }
            }
        }
    }
    return dst;
}

} // namespace DDBHelper
