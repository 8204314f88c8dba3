#include "platform/Gdi.h"

#include <algorithm>

namespace platform::gdi {
namespace {

int g_displayDepth = 32;

// Clips a copy of (sx, sy, w, h) from src to (x, y) in dst against both images.
bool clip(const QImage &dst, int &x, int &y, int &w, int &h, const QImage &src, int &sx, int &sy)
{
    if (sx < 0) { x -= sx; w += sx; sx = 0; }
    if (sy < 0) { y -= sy; h += sy; sy = 0; }
    if (x < 0) { sx -= x; w += x; x = 0; }
    if (y < 0) { sy -= y; h += y; y = 0; }
    w = std::min({w, dst.width() - x, src.width() - sx});
    h = std::min({h, dst.height() - y, src.height() - sy});
    return w > 0 && h > 0;
}

} // namespace

std::uint32_t packBlendFunction(const BLENDFUNCTION &bf)
{
    return std::uint32_t(bf.BlendOp) | std::uint32_t(bf.BlendFlags) << 8 |
           std::uint32_t(bf.SourceConstantAlpha) << 16 | std::uint32_t(bf.AlphaFormat) << 24;
}

bool AlphaBlend(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy,
                std::uint32_t blend)
{
    if (dst.isNull() || src.isNull() || w < 0 || h < 0)
        return false;
    const unsigned A = (blend >> 16) & 0xFF;
    const bool perPixelAlpha = ((blend >> 24) & 0xFF) == AC_SRC_ALPHA;
    if (!clip(dst, x, y, w, h, src, sx, sy))
        return true;
    if (dst.format() != QImage::Format_RGB32 && dst.format() != QImage::Format_ARGB32_Premultiplied &&
        dst.format() != QImage::Format_ARGB32)
        dst = dst.convertToFormat(QImage::Format_RGB32);
    // A device bitmap with its own alpha is premultiplied; a straight-alpha image is made so.
    const bool srcHasAlpha = src.hasAlphaChannel();
    // A premultiplied destination keeps transparency of its own (a surface that keeps alpha):
    // the source adds to its alpha by the same rule as to a colour, at least as much as its
    // brightest channel, so that light blended onto a transparent pixel shows there with the
    // opacity it brings; an opaque pixel stays opaque.
    const bool dstTransparency = dst.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage s = src.format() == QImage::Format_ARGB32_Premultiplied || src.format() == QImage::Format_RGB32
                         ? src
                         : src.convertToFormat(srcHasAlpha ? QImage::Format_ARGB32_Premultiplied
                                                           : QImage::Format_RGB32);
    for (int row = 0; row < h; ++row) {
        const QRgb *sp = reinterpret_cast<const QRgb *>(s.constScanLine(sy + row)) + sx;
        QRgb *dp = reinterpret_cast<QRgb *>(dst.scanLine(y + row)) + x;
        for (int col = 0; col < w; ++col) {
            // Plain drawing leaves the device's spare byte 0, so only a source with an alpha
            // channel brings an alpha of its own. Without AC_SRC_ALPHA the constant opacity
            // alone mixes source and destination (α taken as 255).
            const unsigned alpha = !perPixelAlpha ? 255u : srcHasAlpha ? qAlpha(sp[col]) : 0u;
            const unsigned keep = 255u * 255u - alpha * A;   // dst weight × 255²
            auto channel = [&](unsigned sc, unsigned dc) {
                const unsigned v = (sc * A * 255u + dc * keep + 255u * 255u / 2) / (255u * 255u);
                return std::min(v, 255u);
            };
            const QRgb d = dp[col], sv = sp[col];
            const unsigned a = !dstTransparency
                ? qAlpha(d)
                : channel(std::max({alpha, unsigned(qRed(sv)), unsigned(qGreen(sv)), unsigned(qBlue(sv))}), qAlpha(d));
            dp[col] = qRgba(channel(qRed(sv), qRed(d)), channel(qGreen(sv), qGreen(d)),
                            channel(qBlue(sv), qBlue(d)), a);
        }
    }
    return true;
}

bool BitBlt(QImage &dst, int x, int y, int w, int h, const QImage &src, int sx, int sy)
{
    if (dst.isNull() || src.isNull())
        return false;
    if (!clip(dst, x, y, w, h, src, sx, sy))
        return true;
    const QImage s = src.format() == dst.format() ? src : src.convertToFormat(dst.format());
    const int bpp = dst.depth() / 8;
    for (int row = 0; row < h; ++row)
        std::copy_n(s.constScanLine(sy + row) + sx * bpp, w * bpp, dst.scanLine(y + row) + x * bpp);
    return true;
}

bool PatBlt(QImage &dst, int x, int y, int w, int h, QRgb color)
{
    if (dst.isNull())
        return false;
    const QRect r = QRect(x, y, w, h).intersected(dst.rect());
    for (int row = r.top(); row <= r.bottom(); ++row) {
        QRgb *p = reinterpret_cast<QRgb *>(dst.scanLine(row));
        std::fill(p + r.left(), p + r.left() + r.width(), color);
    }
    return true;
}

int displayDepth() { return g_displayDepth; }
void setDisplayDepth(int bits) { g_displayDepth = bits; }

} // namespace platform::gdi
