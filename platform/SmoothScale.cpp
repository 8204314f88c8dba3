#include "platform/SmoothScale.h"

#include <QColorSpace>

#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {
namespace {

// Where each output column (or row) reads and with what weight. The fixed-point steps are
// those of Qt's smooth scaler, whose results these must reproduce exactly:
// - enlarging: `from` is the pixel to the left, `weight` the share (0-255, of 256) of the one
//   after it;
// - reducing: `from` is the first pixel covered, `weight` holds the share of a whole pixel
//   (of 1 << 14) in its upper half and the share of the first one in its lower half.
struct Axis
{
    std::vector<int> from;
    std::vector<int> weight;
};

Axis axis(int s, int d)
{
    Axis a;
    a.from.resize(d);
    a.weight.resize(d);
    const qint64 inc = (qint64(s) << 16) / d;
    if (d >= s) {
        qint64 val = 0x8000 * s / d - 0x8000;
        for (int i = 0; i < d; ++i, val += inc) {
            const qint64 pos = val >> 16;
            a.from[i] = int(std::max<qint64>(0, pos));
            a.weight[i] = pos < 0 || pos >= s - 1 ? 0 : int((val >> 8) & 0xff);
        }
    } else {
        const int whole = ((d << 14) + s - 1) / s;
        qint64 val = 0;
        for (int i = 0; i < d; ++i, val += inc) {
            a.from[i] = int(val >> 16);
            a.weight[i] = int(((0x10000 - (val & 0xffff)) * whole) >> 16) | (whole << 16);
        }
    }
    return a;
}

// ---------------------------------------------------------------- enlarging

// Each channel of a and b mixed, b weighing w of 256, rounded down.
inline quint32 mix(quint32 a, quint32 b, quint32 w)
{
    const quint32 v = 256 - w;
    const quint32 rb = ((((a & 0xff00ff) * v) + ((b & 0xff00ff) * w)) >> 8) & 0xff00ff;
    const quint32 ag = ((((a >> 8) & 0xff00ff) * v) + (((b >> 8) & 0xff00ff) * w)) & 0xff00ff00;
    return rb | ag;
}

void enlargeRow(const quint32 *src, const Axis &x, quint32 *out)
{
    const int n = int(x.from.size());
    for (int i = 0; i < n; ++i) {
        const quint32 *p = src + x.from[i];
        const int w = x.weight[i];
        out[i] = w ? mix(p[0], p[1], quint32(w)) : p[0];
    }
}

void mixRows(const quint32 *a, const quint32 *b, quint32 *out, int n, int w)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i vb = _mm_set1_epi16(short(w));
    const __m128i va = _mm_set1_epi16(short(256 - w));
    for (; i + 4 <= n; i += 4) {
        const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        const __m128i lo = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(pa, zero), va),
                          _mm_mullo_epi16(_mm_unpacklo_epi8(pb, zero), vb)), 8);
        const __m128i hi = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(pa, zero), va),
                          _mm_mullo_epi16(_mm_unpackhi_epi8(pb, zero), vb)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; ++i)
        out[i] = mix(a[i], b[i], quint32(w));
}

// Bilinear: the two source rows an output row lies between are mixed down first (a whole
// row at a time), then across, in the reference's order, since each step rounds down.
void enlarge(const QImage &src, QImage &dst)
{
    const int dh = dst.height();
    const Axis x = axis(src.width(), dst.width()), y = axis(src.height(), dh);
    std::vector<quint32> between(src.width());
    auto row = [&](int r) { return reinterpret_cast<const quint32 *>(src.constScanLine(r)); };
    for (int j = 0; j < dh; ++j) {
        const int r = y.from[j], w = y.weight[j];
        const quint32 *line = row(r);
        if (w) {
            mixRows(line, row(r + 1), between.data(), src.width(), w);
            line = between.data();
        }
        enlargeRow(line, x, reinterpret_cast<quint32 *>(dst.scanLine(j)));
    }
}

// ---------------------------------------------------------------- reducing

// The run of pixels from p (a step apart) weighed as `weight` says, channel by channel, for
// the first, the whole ones, and what is left of the last.
inline void gather(const quint32 *p, int weight, quint32 sum[4])
{
    const int whole = weight >> 16, first = weight & 0xffff;
    auto add = [&](quint32 px, quint32 w) {
        sum[0] += (px & 0xff) * w;
        sum[1] += ((px >> 8) & 0xff) * w;
        sum[2] += ((px >> 16) & 0xff) * w;
        sum[3] += (px >> 24) * w;
    };
    sum[0] = sum[1] = sum[2] = sum[3] = 0;
    add(*p, quint32(first));
    int left = (1 << 14) - first;
    for (; left > whole; left -= whole)
        add(*++p, quint32(whole));
    add(*++p, quint32(left));
}

// One source row reduced across: four sums a column, already shifted as the vertical pass
// wants them.
void reduceRow(const quint32 *src, const Axis &x, quint32 *out)
{
    const int n = int(x.from.size());
    for (int i = 0; i < n; ++i) {
        quint32 sum[4];
        gather(src + x.from[i], x.weight[i], sum);
        for (int c = 0; c < 4; ++c)
            out[4 * i + c] = sum[c] >> 4;
    }
}

__attribute__((target_clones("avx2", "default")))
void accumulate(quint32 *acc, const quint32 *row, quint32 w, int n)
{
    for (int i = 0; i < n; ++i)
        acc[i] += row[i] * w;
}

__attribute__((target_clones("avx2", "default")))
void startWith(quint32 *acc, const quint32 *row, quint32 w, int n)
{
    for (int i = 0; i < n; ++i)
        acc[i] = row[i] * w;
}

// Area averaging: every source row reduced across once, then each output row summed from the
// reduced rows it covers. Sums wrap past 32 bits where the reference's do, and only their top
// byte is kept.
void reduce(const QImage &src, QImage &dst, bool opaque)
{
    const int dw = dst.width(), dh = dst.height();
    const Axis x = axis(src.width(), dw), y = axis(src.height(), dh);
    const int n = dw * 4;
    // Reduced source rows, by row; -1 marks a free slot. Output rows start at or after the
    // rows before them start, so a row above the current start is never needed again.
    std::vector<std::vector<quint32>> kept;
    std::vector<int> keptRow;
    auto fetch = [&](int r) -> const quint32 * {
        size_t slot = keptRow.size();
        for (size_t k = 0; k < keptRow.size(); ++k) {
            if (keptRow[k] == r)
                return kept[k].data();
            if (keptRow[k] < 0 && slot == keptRow.size())
                slot = k;
        }
        if (slot == keptRow.size()) {
            kept.emplace_back(n);
            keptRow.push_back(-1);
        }
        // The last share can fall on the row after the last, weighing nothing.
        const int at = std::min(r, src.height() - 1);
        reduceRow(reinterpret_cast<const quint32 *>(src.constScanLine(at)), x, kept[slot].data());
        keptRow[slot] = r;
        return kept[slot].data();
    };
    std::vector<quint32> acc(n);
    const quint32 alpha = opaque ? 0xff000000u : 0;
    for (int j = 0; j < dh; ++j) {
        const int weight = y.weight[j];
        const int whole = weight >> 16, first = weight & 0xffff;
        int r = y.from[j];
        for (int &k : keptRow)
            if (k < r)
                k = -1;
        startWith(acc.data(), fetch(r), quint32(first), n);
        int left = (1 << 14) - first;
        for (; left > whole; left -= whole)
            accumulate(acc.data(), fetch(++r), quint32(whole), n);
        accumulate(acc.data(), fetch(++r), quint32(left), n);
        auto *out = reinterpret_cast<quint32 *>(dst.scanLine(j));
        for (int i = 0; i < dw; ++i) {
            const quint32 *s = &acc[4 * i];
            out[i] = ((s[0] >> 24) | ((s[1] >> 24) << 8) | ((s[2] >> 24) << 16) | ((s[3] >> 24) << 24)) | alpha;
        }
    }
}

void copyMetadata(const QImage &from, QImage &to)
{
    to.setDotsPerMeterX(from.dotsPerMeterX());
    to.setDotsPerMeterY(from.dotsPerMeterY());
    to.setDevicePixelRatio(from.devicePixelRatio());
    to.setOffset(from.offset());
    to.setColorSpace(from.colorSpace());
    for (const QString &key : from.textKeys())
        to.setText(key, from.text(key));
}

} // namespace

QImage smoothScaled(const QImage &img, QSize size)
{
    const int sw = img.width(), sh = img.height(), dw = size.width(), dh = size.height();
    const bool ours = (img.format() == QImage::Format_RGB32
                       || img.format() == QImage::Format_ARGB32_Premultiplied)
        && dw > 0 && dh > 0 && size != img.size()
        // Within the reference's 32-bit steps.
        && sw < (1 << 16) && sh < (1 << 16) && dw < (1 << 16) && dh < (1 << 16);
    const bool up = dw >= sw && dh >= sh, down = dw < sw && dh < sh;
    if (!ours || !(up || down))
        return img.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage out(dw, dh, img.format());
    if (out.isNull())
        return out;
    if (up)
        enlarge(img, out);
    else
        reduce(img, out, img.format() == QImage::Format_RGB32);
    copyMetadata(img, out);
    return out;
}

} // namespace platform
