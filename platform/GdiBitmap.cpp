#include "platform/GdiBitmap.h"
#include "platform/Gdi.h"
#include "platform/Surface.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace platform::gdi {
namespace {

// Raw rows and QRgb words are moved as little-endian words.
static_assert(std::endian::native == std::endian::little);

constexpr int kSystemPaletteSize = 256;
constexpr int kReservedEntries = 20;

std::array<PALETTEENTRY, kSystemPaletteSize> makeSystemPalette()
{
    // The display's static colours: ten at each end, the same on every palette display.
    static constexpr std::uint8_t low[10][3] = {
        {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128},
        {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
    static constexpr std::uint8_t high[10][3] = {
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},
        {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    std::array<PALETTEENTRY, kSystemPaletteSize> pal{};
    int i = 0;
    for (const auto &c : low)
        pal[i++] = {c[0], c[1], c[2], 0};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                pal[i++] = {std::uint8_t(r * 51), std::uint8_t(g * 51), std::uint8_t(b * 51), 0};
    for (int k = 1; k <= 20; ++k) {
        const auto v = std::uint8_t(k * 12);
        pal[i++] = {v, v, v, 0};
    }
    for (const auto &c : high)
        pal[i++] = {c[0], c[1], c[2], 0};
    return pal;
}

const std::array<PALETTEENTRY, kSystemPaletteSize> &systemPalette()
{
    static const auto pal = makeSystemPalette();
    return pal;
}

std::uint32_t nearestIndex(const PALETTEENTRY *entries, std::size_t count, int r, int g, int b)
{
    std::uint32_t best = 0;
    int bestDist = INT32_MAX;
    for (std::size_t i = 0; i < count; ++i) {
        const int dr = entries[i].peRed - r, dg = entries[i].peGreen - g, db = entries[i].peBlue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = std::uint32_t(i);
            if (d == 0)
                break;
        }
    }
    return best;
}

bool isDeviceFormat(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32
        || f == QImage::Format_ARGB32_Premultiplied;
}

// One raw row from one image row.
void packRow(int depth, const QRgb *src, int width, std::uint8_t *dst)
{
    switch (depth) {
    case 32:
        // A QRgb word in memory is blue, green, red, alpha: the device's layout once the
        // spare byte is cleared.
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = src[x] & 0x00FFFFFF;
            std::memcpy(dst + 4 * x, &v, 4);
        }
        break;
    case 24:
        for (int x = 0; x < width; ++x, dst += 3) {
            const QRgb p = src[x];
            dst[0] = std::uint8_t(qBlue(p));
            dst[1] = std::uint8_t(qGreen(p));
            dst[2] = std::uint8_t(qRed(p));
        }
        break;
    case 16:
    case 15: {
        const int greenBits = depth == 16 ? 6 : 5;
        for (int x = 0; x < width; ++x, dst += 2) {
            const QRgb p = src[x];
            const unsigned w = unsigned(qRed(p) >> 3) << (5 + greenBits)
                             | unsigned(qGreen(p) >> (8 - greenBits)) << 5 | unsigned(qBlue(p) >> 3);
            dst[0] = std::uint8_t(w & 0xFF);
            dst[1] = std::uint8_t(w >> 8);
        }
        break;
    }
    case 8: {
        const auto &pal = systemPalette();
        QRgb last = 0;
        std::uint8_t lastIndex = 0;
        bool haveLast = false;
        for (int x = 0; x < width; ++x) {
            const QRgb p = src[x] & 0xFFFFFF;
            if (!haveLast || p != last) {
                lastIndex = std::uint8_t(nearestIndex(pal.data(), pal.size(), qRed(p), qGreen(p), qBlue(p)));
                last = p;
                haveLast = true;
            }
            dst[x] = lastIndex;
        }
        break;
    }
    default:
        break;
    }
}

constexpr std::uint8_t expand5(unsigned v) { return std::uint8_t(v << 3 | v >> 2); }
constexpr std::uint8_t expand6(unsigned v) { return std::uint8_t(v << 2 | v >> 4); }

void unpackRow(int depth, const std::uint8_t *src, int width, QRgb *dst)
{
    switch (depth) {
    case 32:
        for (int x = 0; x < width; ++x) {
            std::uint32_t v;
            std::memcpy(&v, src + 4 * x, 4);
            dst[x] = v | 0xFF000000;
        }
        break;
    case 24:
        for (int x = 0; x < width; ++x, src += 3)
            dst[x] = qRgb(src[2], src[1], src[0]);
        break;
    case 16:
        for (int x = 0; x < width; ++x, src += 2) {
            const unsigned w = src[0] | unsigned(src[1]) << 8;
            dst[x] = qRgb(expand5(w >> 11), expand6((w >> 5) & 63), expand5(w & 31));
        }
        break;
    case 15:
        for (int x = 0; x < width; ++x, src += 2) {
            const unsigned w = src[0] | unsigned(src[1]) << 8;
            dst[x] = qRgb(expand5((w >> 10) & 31), expand5((w >> 5) & 31), expand5(w & 31));
        }
        break;
    case 8: {
        const auto &pal = systemPalette();
        for (int x = 0; x < width; ++x) {
            const PALETTEENTRY &e = pal[src[x]];
            dst[x] = qRgb(e.peRed, e.peGreen, e.peBlue);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace

int bitmapRowBytes(int bitsPerPixel, int width)
{
    int bytes = 0;
    switch (bitsPerPixel) {
    case 8: bytes = width; break;
    case 15:
    case 16: bytes = 2 * width; break;
    case 24: bytes = 3 * width; break;
    case 32: bytes = 4 * width; break;
    default: return 0;
    }
    return bytes + (bytes & 1);
}

int GetObjectA(const QImage &bitmap, int size, BITMAP *out)
{
    if (!out || size <= 0)
        return 0;
    const int depth = displayDepth();
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = bitmap.width();
    bm.bmHeight = bitmap.height();
    bm.bmWidthBytes = bitmapRowBytes(depth, bitmap.width());
    bm.bmPlanes = 1;
    bm.bmBitsPixel = std::uint16_t(depth == 15 ? 16 : depth);
    const int n = std::min<int>(size, sizeof(BITMAP));
    std::memcpy(out, &bm, n);
    return n;
}

long GetBitmapBits(const QImage &bitmap, long count, std::uint8_t *bits)
{
    const int depth = displayDepth();
    const int rowBytes = bitmapRowBytes(depth, bitmap.width());
    if (!bits || count <= 0 || rowBytes == 0)
        return 0;
    const QImage image = isDeviceFormat(bitmap.format()) ? bitmap
                                                         : bitmap.convertToFormat(QImage::Format_RGB32);
    const long total = std::min<long>(count, long(rowBytes) * image.height());
    std::vector<std::uint8_t> partial;
    long done = 0;
    for (int y = 0; done < total; ++y) {
        const auto *src = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        const long want = std::min<long>(rowBytes, total - done);
        if (want == rowBytes) {
            bits[done + rowBytes - 1] = 0;   // the padding byte, when there is one
            packRow(depth, src, image.width(), bits + done);
        } else {
            partial.assign(rowBytes, 0);
            packRow(depth, src, image.width(), partial.data());
            std::memcpy(bits + done, partial.data(), want);
        }
        done += want;
    }
    return total;
}

long SetBitmapBits(QImage &bitmap, long count, const std::uint8_t *bits)
{
    const int depth = displayDepth();
    const int rowBytes = bitmapRowBytes(depth, bitmap.width());
    if (!bits || count <= 0 || rowBytes == 0)
        return 0;
    if (!isDeviceFormat(bitmap.format()))
        bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    const int rows = int(std::min<long>(count / rowBytes, bitmap.height()));
    for (int y = 0; y < rows; ++y)
        unpackRow(depth, bits + long(y) * rowBytes, bitmap.width(),
                  reinterpret_cast<QRgb *>(bitmap.scanLine(y)));
    return long(rows) * rowBytes;
}

std::uint32_t GetPaletteEntries(const Palette &pal, std::uint32_t start, std::uint32_t count,
                                PALETTEENTRY *out)
{
    if (start >= pal.entries.size() || !out)
        return 0;
    const std::uint32_t n = std::min<std::uint32_t>(count, std::uint32_t(pal.entries.size()) - start);
    std::copy_n(pal.entries.begin() + start, n, out);
    return n;
}

std::uint32_t SetPaletteEntries(Palette &pal, std::uint32_t start, std::uint32_t count,
                                const PALETTEENTRY *in)
{
    if (start >= pal.entries.size() || !in)
        return 0;
    const std::uint32_t n = std::min<std::uint32_t>(count, std::uint32_t(pal.entries.size()) - start);
    std::copy_n(in, n, pal.entries.begin() + start);
    return n;
}

bool ResizePalette(Palette &pal, std::uint32_t count)
{
    if (count == 0 || count > kMaxPaletteEntries)
        return false;
    pal.entries.resize(count, PALETTEENTRY{0, 0, 0, 0});
    return true;
}

std::uint32_t GetNearestPaletteIndex(const Palette &pal, std::uint32_t colorRef)
{
    if (pal.entries.empty())
        return 0xFFFFFFFF;   // CLR_INVALID
    return nearestIndex(pal.entries.data(), pal.entries.size(), int(colorRef & 0xFF),
                        int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

std::uint32_t GetSystemPaletteEntries(std::uint32_t start, std::uint32_t count, PALETTEENTRY *out)
{
    if (displayDepth() != 8 || !out || start >= std::uint32_t(kSystemPaletteSize))
        return 0;
    const auto &pal = systemPalette();
    const std::uint32_t n = std::min<std::uint32_t>(count, kSystemPaletteSize - start);
    std::copy_n(pal.begin() + start, n, out);
    return n;
}

int GetDeviceCaps(int index)
{
    const int depth = displayDepth();
    switch (index) {
    case BITSPIXEL: return depth == 15 ? 16 : depth;
    case PLANES: return 1;
    case SIZEPALETTE: return depth == 8 ? kSystemPaletteSize : 0;
    case NUMRESERVED: return depth == 8 ? kReservedEntries : 0;
    default: return 0;
    }
}

std::uint32_t RealizePalette(const Palette &pal) { return std::uint32_t(pal.entries.size()); }

Palette &picturePalette(Surface &surface)
{
    if (!surface.palette) {
        const auto &sys = systemPalette();
        surface.palette = std::make_shared<Palette>(Palette{{sys.begin(), sys.end()}});
    }
    return *surface.palette;
}

} // namespace platform::gdi
