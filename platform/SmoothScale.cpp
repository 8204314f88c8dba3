#include "platform/SmoothScale.h"

#include <QColorSpace>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PIXMAR_X86 1
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

// The rows [0, rows) done in segments on Qt's pool as its own scaler does (one segment per
// 64 K source pixels), so that a run on one thread still has every core for its scaling;
// from a pool thread, or for a small picture, on the calling thread.
template<typename Work>
void inSegments(qsizetype sourcePixels, int rows, const Work &work)
{
    const int segments = int(std::min<qsizetype>(sourcePixels >> 16, rows));
    QThreadPool *pool = QThreadPool::globalInstance();
    if (segments < 2 || !pool || pool->contains(QThread::currentThread())) {
        work(0, rows);
        return;
    }
    QSemaphore done;
    // A segment that runs out of memory tells the caller, on its own thread.
    std::mutex failing;
    std::exception_ptr failure;
    for (int i = 0, y = 0; i < segments; ++i) {
        const int n = (rows - y) / (segments - i);
        pool->start([&, y, n] {
            try {
                work(y, y + n);
            } catch (...) {
                const std::lock_guard lock(failing);
                if (!failure)
                    failure = std::current_exception();
            }
            done.release();
        });
        y += n;
    }
    done.acquire(segments);
    if (failure)
        std::rethrow_exception(failure);
}

#if PIXMAR_X86
std::atomic<bool> wide{__builtin_cpu_supports("avx2") != 0};
#endif

// ---------------------------------------------------------------- enlarging

// Each channel of a and b mixed, b weighing w of 256, rounded down.
inline quint32 mix(quint32 a, quint32 b, quint32 w)
{
    const quint32 v = 256 - w;
    const quint32 rb = ((((a & 0xff00ff) * v) + ((b & 0xff00ff) * w)) >> 8) & 0xff00ff;
    const quint32 ag = ((((a >> 8) & 0xff00ff) * v) + (((b >> 8) & 0xff00ff) * w)) & 0xff00ff00;
    return rb | ag;
}

// Across: for each output column, the source pixel it starts at and the 16-bit weights of
// that pixel's four channels and the next one's.
struct Across
{
    std::vector<int> from;
    std::vector<quint16> weights;   // 8 a column
};

Across across(const Axis &x)
{
    Across a;
    a.from = x.from;
    a.weights.resize(x.from.size() * 8);
    for (size_t i = 0; i < x.from.size(); ++i)
        for (int c = 0; c < 4; ++c) {
            a.weights[8 * i + c] = quint16(256 - x.weight[i]);
            a.weights[8 * i + 4 + c] = quint16(x.weight[i]);
        }
    return a;
}

// Columns from `first` on. `src` must hold one pixel past its last one: a column on the last
// pixel reads it with no weight.
void enlargeRowPlain(const quint32 *src, const Across &x, quint32 *out, int first = 0)
{
    const int n = int(x.from.size());
    for (int i = first; i < n; ++i) {
        const quint32 *p = src + x.from[i];
        out[i] = mix(p[0], p[1], x.weights[8 * i + 4]);
    }
}

#if PIXMAR_X86
// Four output pixels at a time. Enlarging, four columns read from at most five source
// pixels in a row: eight are loaded from the first, and the pairs each column mixes picked
// out of them by a lane permute; then widened, weighed, and each pair's halves added.
// `src` must hold eight pixels past its last one.
__attribute__((target("avx2"))) void enlargeRowAvx2(const quint32 *src, const Across &x, quint32 *out)
{
    const int n = int(x.from.size());
    const __m256i zero = _mm256_setzero_si256();
    const __m256i next = _mm256_setr_epi32(0, 1, 0, 1, 0, 1, 0, 1);
    const __m256i inOrder = _mm256_setr_epi32(0, 4, 1, 5, 0, 4, 1, 5);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const int at = x.from[i];
        // Pairs i, i+2 | i+1, i+3 (unpacking takes the low one of each half first), each at
        // its offset from `at`.
        const __m128i from = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(x.from.data() + i)),
                                           _mm_set1_epi32(at));
        const __m256i twice = _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(from),
                                                          _mm256_setr_epi32(0, 0, 2, 2, 1, 1, 3, 3));
        const __m256i pairs = _mm256_permutevar8x32_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + at)), _mm256_add_epi32(twice, next));
        const auto *w = reinterpret_cast<const __m256i *>(x.weights.data() + 8 * i);
        const __m256i lo = _mm256_mullo_epi16(_mm256_unpacklo_epi8(pairs, zero), _mm256_loadu_si256(w));
        const __m256i hi = _mm256_mullo_epi16(_mm256_unpackhi_epi8(pairs, zero), _mm256_loadu_si256(w + 1));
        const __m256i sum = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_unpacklo_epi64(lo, hi), _mm256_unpackhi_epi64(lo, hi)), 8);
        const __m256i packed = _mm256_packus_epi16(sum, sum);   // i, i+2, i, i+2 | i+1, i+3, ...
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i),
                         _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(packed, inOrder)));
    }
    enlargeRowPlain(src, x, out, i);
}
#endif

void enlargeRow(const quint32 *src, const Across &x, quint32 *out)
{
#if PIXMAR_X86
    if (wide.load(std::memory_order_relaxed))
        return enlargeRowAvx2(src, x, out);
#endif
    enlargeRowPlain(src, x, out);
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
    const int sw = src.width(), dh = dst.height();
    const Across x = across(axis(sw, dst.width()));
    const Axis y = axis(src.height(), dh);
    auto row = [&](int r) { return reinterpret_cast<const quint32 *>(src.constScanLine(r)); };
    inSegments(qsizetype(sw) * src.height(), dh, [&](int first, int last) {
        std::vector<quint32> between(size_t(sw) + 8, 0);
        for (int j = first; j < last; ++j) {
            const int r = y.from[j], w = y.weight[j];
            if (w)
                mixRows(row(r), row(r + 1), between.data(), sw, w);
            else
                std::memcpy(between.data(), row(r), size_t(sw) * 4);
            enlargeRow(between.data(), x, reinterpret_cast<quint32 *>(dst.scanLine(j)));
        }
    });
}

// ---------------------------------------------------------------- reducing

// For each output column, the pixels it covers and their weights (the first, the whole ones,
// what is left of the last), in pairs for the multiply-add: the low 16 bits weigh the first of
// two pixels, the high ones the second. An odd last pixel has a pair to itself.
// Columns of at most four pixels that can be read as four (not past the row's end) also have
// their weights as two pairs, four times over, for the wide loop.
struct Gather
{
    std::vector<int> from;
    std::vector<int> firstPair;      // into `pairs`; one more entry than columns
    std::vector<quint32> pairs;
    std::vector<char> oddLast;       // the last pair holds a single pixel
    std::vector<char> four;          // read as four pixels
    std::vector<quint32> four01, four23;   // 4 a column
};

Gather gather(const Axis &x, int sw)
{
    Gather g;
    const size_t n = x.from.size();
    g.from = x.from;
    g.firstPair.reserve(n + 1);
    g.oddLast.resize(n);
    g.four.resize(n);
    g.four01.resize(4 * n);
    g.four23.resize(4 * n);
    for (size_t i = 0; i < n; ++i) {
        g.firstPair.push_back(int(g.pairs.size()));
        const int whole = x.weight[i] >> 16, first = x.weight[i] & 0xffff;
        std::vector<int> w{first};
        int left = (1 << 14) - first;
        for (; left > whole; left -= whole)
            w.push_back(whole);
        w.push_back(left);
        g.oddLast[i] = w.size() % 2;
        for (size_t k = 0; k < w.size(); k += 2)
            g.pairs.push_back(quint32(w[k]) | (k + 1 < w.size() ? quint32(w[k + 1]) << 16 : 0));
        g.four[i] = w.size() <= 4 && x.from[i] + 4 <= sw;
        if (g.four[i]) {
            w.resize(4, 0);
            std::fill_n(g.four01.begin() + 4 * i, 4, quint32(w[0]) | (quint32(w[1]) << 16));
            std::fill_n(g.four23.begin() + 4 * i, 4, quint32(w[2]) | (quint32(w[3]) << 16));
        }
    }
    g.firstPair.push_back(int(g.pairs.size()));
    return g;
}

// One column's sums by its pairs.
void reduceColumn(const quint32 *src, const Gather &g, int i, quint32 *out)
{
    const quint32 *p = src + g.from[i];
    const int end = g.firstPair[i + 1];
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = zero;
    for (int k = g.firstPair[i]; k < end; ++k, p += 2) {
        // Two pixels' channels interleaved (b0 b1 g0 g1 ...), or one pixel's with zeros.
        const bool single = k + 1 == end && g.oddLast[i];
        const __m128i v = _mm_unpacklo_epi8(
            single ? _mm_cvtsi32_si128(int(*p)) : _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)), zero);
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(v, _mm_srli_si128(v, 8)),
                                                _mm_set1_epi32(int(g.pairs[size_t(k)]))));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4 * i), _mm_srli_epi32(sum, 4));
#else
    quint32 sum[4] = {};
    for (int k = g.firstPair[i]; k < end; ++k, p += 2) {
        const quint32 pair = g.pairs[size_t(k)];
        const bool single = k + 1 == end && g.oddLast[i];
        for (int c = 0; c < 4; ++c)
            sum[c] += ((p[0] >> (8 * c)) & 0xff) * (pair & 0xffff)
                + (single ? 0 : ((p[1] >> (8 * c)) & 0xff) * (pair >> 16));
    }
    for (int c = 0; c < 4; ++c)
        out[4 * i + c] = sum[c] >> 4;
#endif
}

#if PIXMAR_X86
// Two columns of four pixels at a time, one in each half: the pixels widened, interleaved
// by pairs and multiply-added with their weights.
__attribute__((target("avx2"))) void reduceRowAvx2(const quint32 *src, const Gather &g, quint32 *out)
{
    const int n = int(g.from.size());
    const __m256i zero = _mm256_setzero_si256();
    int i = 0;
    for (; i < n; ++i) {
        if (i + 1 < n && g.four[size_t(i)] && g.four[size_t(i) + 1]) {
            const __m256i px = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src + g.from[i]))),
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + g.from[i + 1])), 1);
            const __m256i v01 = _mm256_unpacklo_epi8(px, zero), v23 = _mm256_unpackhi_epi8(px, zero);
            const __m256i a = _mm256_unpacklo_epi16(v01, _mm256_srli_si256(v01, 8));
            const __m256i b = _mm256_unpacklo_epi16(v23, _mm256_srli_si256(v23, 8));
            const __m256i sum = _mm256_add_epi32(
                _mm256_madd_epi16(a, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(g.four01.data() + 4 * i))),
                _mm256_madd_epi16(b, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(g.four23.data() + 4 * i))));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 4 * i), _mm256_srli_epi32(sum, 4));
            ++i;
        } else {
            reduceColumn(src, g, i, out);
        }
    }
}
#endif

// One source row reduced across: four channel sums a column, already shifted as the vertical
// pass wants them.
void reduceRow(const quint32 *src, const Gather &g, quint32 *out)
{
#if PIXMAR_X86
    if (wide.load(std::memory_order_relaxed))
        return reduceRowAvx2(src, g, out);
#endif
    for (int i = 0; i < int(g.from.size()); ++i)
        reduceColumn(src, g, i, out);
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

// The top byte of each sum, four sums a pixel.
void pack(const quint32 *acc, quint32 *out, int n, quint32 alpha)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(int(alpha));
    for (; i + 4 <= n; i += 4) {
        auto at = [&](int k) {
            return _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(acc + 4 * (i + k))), 24);
        };
        const __m128i lo = _mm_packs_epi32(at(0), at(1)), hi = _mm_packs_epi32(at(2), at(3));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_or_si128(_mm_packus_epi16(lo, hi), opaque));
    }
#endif
    for (; i < n; ++i) {
        const quint32 *s = acc + 4 * i;
        out[i] = (s[0] >> 24) | ((s[1] >> 24) << 8) | ((s[2] >> 24) << 16) | ((s[3] >> 24) << 24) | alpha;
    }
}

// Area averaging: every source row reduced across once, then each output row summed from the
// reduced rows it covers. Sums wrap past 32 bits where the reference's do, and only their top
// byte is kept.
void reduce(const QImage &src, QImage &dst, bool opaque)
{
    const int dw = dst.width(), dh = dst.height(), sh = src.height();
    const Gather x = gather(axis(src.width(), dw), src.width());
    const Axis y = axis(sh, dh);
    const int n = dw * 4;
    const quint32 alpha = opaque ? 0xff000000u : 0;
    inSegments(qsizetype(src.width()) * sh, dh, [&](int first, int last) {
        // Reduced source rows, by row; -1 marks a free slot. Output rows start at or after
        // the rows before them start, so a row above the current start is never needed again.
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
            const int at = std::min(r, sh - 1);
            reduceRow(reinterpret_cast<const quint32 *>(src.constScanLine(at)), x, kept[slot].data());
            keptRow[slot] = r;
            return kept[slot].data();
        };
        std::vector<quint32> acc(n);
        for (int j = first; j < last; ++j) {
            const int whole = y.weight[j] >> 16, head = y.weight[j] & 0xffff;
            int r = y.from[j];
            for (int &k : keptRow)
                if (k < r)
                    k = -1;
            startWith(acc.data(), fetch(r), quint32(head), n);
            int left = (1 << 14) - head;
            for (; left > whole; left -= whole)
                accumulate(acc.data(), fetch(++r), quint32(whole), n);
            accumulate(acc.data(), fetch(++r), quint32(left), n);
            pack(acc.data(), reinterpret_cast<quint32 *>(dst.scanLine(j)), dw, alpha);
        }
    });
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

bool useWideKernels(bool on)
{
#if PIXMAR_X86
    return wide.exchange(on && __builtin_cpu_supports("avx2"));
#else
    Q_UNUSED(on);
    return false;
#endif
}

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
