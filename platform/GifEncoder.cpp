#include "platform/GifEncoder.h"
#include "platform/GdiPlusCodecs.h"

#include <QFile>
#include <QLoggingCategory>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits>
#include <new>
#include <gif_lib.h>
#include <libimagequant.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcGif, "pixmar.gif")

namespace platform::gif {
namespace {

using namespace gdiplus;

// The tuning's defaults were measured with bench/gif_bench.sh on 60 distinct 1000 x 750
// photographs and on a burst of 120 frames of one photograph panned and zoomed slowly
// (size MB / mean PSNR dB, distinct then burst):
//   speed 8, full dithering, exact LZW, whole frames (the old settings)    27.2 / 38.36
//   speed 6, full dithering                                                 25.3 / 40.16
//   dithering 0.6 (less noise for LZW, and closer to the picture per pixel) 24.2 / 40.53
//   lossy LZW within 6 (dithering 0.6)                                      18.6 / 39.23
//   dithering 0.4, lossy LZW within 6                                       17.5 / 39.47
//   burst, dithering 0.6, lossy LZW within 6, whole frames                  45.0 / 35.43
//   burst, dithering 0.5, lossy within 6, repeats left out within 3         27.3 / 35.94
//                                                            ... within 4   22.1 / 35.82
//                                                            ... within 6   16.1 / 35.30
//   burst, dithering 0.3, lossy within 6, repeats within 4                  21.5 / 35.99
//   the quantizer kept to one thread within each of ours (distinct)        18.3 / 39.27
//     for 30 % less processor time
//   repeats decided as frames come, palettes only for what changed:
//     dithering 0.3, distinct / burst                                17.4 / 39.48, 22.8 / 35.78
//     dithering 0.2, distinct / burst                                16.3 / 39.64, 21.7 / 36.01
//   pixels mapped by our own nearest-colour search (plain RGB distance, whole-number error
//   diffusion) instead of the quantizer's, the palette at speed 7 from every third pixel of
//   every third row: half the processor time of the line above
//     dithering 0.2, distinct / burst                                15.5 / 39.62, 20.9 / 35.90
//     dithering 0.1                                                  15.3 / 39.64, 20.6 / 35.93
//     dithering 0.35                                                 16.4 / 39.55, 21.7 / 35.79
// Less dithering is less noise for LZW to code and closer to the picture pixel by pixel; the
// price is some contouring in smooth gradients.
// Lossy LZW gives most of the saving on distinct frames, leaving repeats out on a burst.
constexpr qint64 kFullHistogramPixels = 512 * 512;
constexpr int kMaxColours = 256;
constexpr int kGifColourResolution = 8;
constexpr int kMaxDelayCs = 0xFFFF;    // the frame delay field is 16 bits wide
constexpr int kLzwMaxBits = 12;
constexpr int kLzwLastCode = (1 << kLzwMaxBits) - 1;
constexpr int kSubBlockBytes = 255;
constexpr liq_color kTransparent{0, 0, 0, 0};
constexpr int kMinRepeatRun = 8;   // pixels in a row that must repeat to be left out
constexpr int kDitherOne = 256;     // the dithering level in whole numbers
constexpr int kDitherCap2 = 48 * 48;   // a squared miss beyond which less of it is carried

// libimagequant runs OpenMP threads of its own inside each call. On top of our reducers that
// oversubscribes the cores: measured on sixty 1000 x 750 photographs, the same build took 40 %
// more processor time and half again the wall time. Each of our threads asks for one. The
// call is looked up rather than linked, as OpenMP is the quantizer's business.
void keepQuantizerOnThisThread()
{
    using SetThreads = void (*)(int);
    static const auto set = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (set)
        set(1);
}

struct LiqAttrFree {
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
};
struct LiqImageFree {
    void operator()(liq_image *p) const { liq_image_destroy(p); }
};
struct LiqResultFree {
    void operator()(liq_result *p) const { liq_result_destroy(p); }
};
struct LiqHistogramFree {
    void operator()(liq_histogram *p) const { liq_histogram_destroy(p); }
};
struct ColourMapFree {
    void operator()(ColorMapObject *p) const { GifFreeMapObject(p); }
};

} // namespace

QImage fitToCanvas(const QImage &frame, QSize canvas)
{
    if (frame.size() == canvas || frame.isNull() || canvas.isEmpty())
        return frame;
    const QImage scaled = frame.scaled(canvas, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage out(canvas, frame.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage((canvas.width() - scaled.width()) / 2, (canvas.height() - scaled.height()) / 2,
                scaled);
    return out;
}

QImage toRgbaWithBinaryAlpha(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGBX8888);
    QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < rgba.height(); ++y) {
        uchar *px = rgba.scanLine(y);
        for (int x = 0; x < rgba.width(); ++x, px += 4) {
            if (px[3] < 128)
                px[0] = px[1] = px[2] = px[3] = 0;
            else
                px[3] = 255;
        }
    }
    return rgba;
}

namespace {

std::vector<void *> rowPointers(const QImage &rgba)
{
    std::vector<void *> rows(static_cast<size_t>(rgba.height()));
    for (int y = 0; y < rgba.height(); ++y)
        rows[size_t(y)] = const_cast<uchar *>(rgba.constScanLine(y));
    return rows;
}

bool isOpaque(const QImage &rgba)
{
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar *px = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width(); ++x)
            if (px[4 * x + 3] != 255)
                return false;
    }
    return true;
}

// The palette for a picture (RGBA8888 with binary alpha). With a transparent slot, one entry
// is kept fully transparent however few transparent pixels the sample below catches.
std::optional<std::vector<QRgb>> choosePalette(const QImage &rgba, bool transparentSlot, const Tuning &tuning)
{
    std::unique_ptr<liq_attr, LiqAttrFree> attr(liq_attr_create());
    if (!attr)
        return std::nullopt;
    liq_set_speed(attr.get(), std::clamp(tuning.speed, 1, 10));
    liq_set_max_colors(attr.get(), kMaxColours);

    // The palette is chosen from a sample of the pixels when the picture is large (every
    // sampleStep-th pixel of every sampleStep-th row): at the default a ninth of the work,
    // and on the benchmark's photographs within a hundredth of a dB of a sample of every
    // second pixel of every second row.
    const qint64 pixels = qint64(rgba.width()) * rgba.height();
    const int step = pixels > kFullHistogramPixels ? std::max(1, tuning.sampleStep) : 1;
    const QImage sample = step > 1
        ? rgba.scaled(std::max(1, rgba.width() / step), std::max(1, rgba.height() / step),
                      Qt::IgnoreAspectRatio, Qt::FastTransformation)
        : rgba;
    std::vector<void *> rows = rowPointers(sample);
    std::unique_ptr<liq_image, LiqImageFree> img(liq_image_create_rgba_rows(
        attr.get(), rows.data(), sample.width(), sample.height(), 0));
    std::unique_ptr<liq_histogram, LiqHistogramFree> hist(liq_histogram_create(attr.get()));
    if (!img || !hist || liq_histogram_add_image(hist.get(), attr.get(), img.get()) != LIQ_OK)
        return std::nullopt;
    if (transparentSlot && liq_histogram_add_fixed_color(hist.get(), kTransparent, 0) != LIQ_OK)
        return std::nullopt;
    liq_result *raw = nullptr;
    if (liq_histogram_quantize(hist.get(), attr.get(), &raw) != LIQ_OK || !raw)
        return std::nullopt;
    std::unique_ptr<liq_result, LiqResultFree> result(raw);
    const liq_palette *pal = liq_get_palette(result.get());
    if (!pal || pal->count == 0)
        return std::nullopt;
    std::vector<QRgb> out;
    out.reserve(pal->count);
    for (unsigned i = 0; i < pal->count; ++i) {
        const liq_color &c = pal->entries[i];
        out.push_back(qRgba(c.r, c.g, c.b, c.a));
    }
    return out;
}

int colourDistance2(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

// The opaque palette entry nearest to a colour (plain RGB distance, the one PSNR counts; the
// lowest index among equals), found among the few entries that can be nearest anywhere in
// the colour's cell of a grid over the colour cube. A cell's list is made the first time a
// pixel falls into it, so a photograph pays only for the colours it has.
class NearestColour {
public:
    explicit NearestColour(const std::vector<QRgb> &palette)
    {
        for (size_t i = 0; i < palette.size(); ++i)
            if (qAlpha(palette[i]) >= 128)
                entries_.push_back({qRed(palette[i]), qGreen(palette[i]), qBlue(palette[i]), int(i)});
        cellStart_.assign(size_t(kCells) * kCells * kCells, -1);
    }

    int find(int r, int g, int b)
    {
        if (entries_.empty())
            return 0;
        const std::uint32_t key = std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
        std::uint32_t &known = known_[(key * 2654435761u) >> (32 - kKnownBits)];
        if (known >> 8 == key + 1)
            return int(known & 0xFF);
        const size_t cell = size_t(((r >> kCellShift) * kCells + (g >> kCellShift)) * kCells + (b >> kCellShift));
        if (cellStart_[cell] < 0)
            build(cell, r >> kCellShift, g >> kCellShift, b >> kCellShift);
        int best = -1, bestD = std::numeric_limits<int>::max() - 1;   // below the list's end
        // Candidates come nearest to the cell first: once one cannot come closer to the
        // colour than the best so far, neither can any after it.
        for (const Candidate *c = candidates_.data() + cellStart_[cell]; c->near2 <= bestD; ++c) {
            const int d = (c->r - r) * (c->r - r) + (c->g - g) * (c->g - g) + (c->b - b) * (c->b - b);
            if (d < bestD || (d == bestD && c->index < best)) {
                bestD = d;
                best = c->index;
            }
        }
        known = (key + 1) << 8 | std::uint32_t(best);
        return best;
    }

private:
    static constexpr int kCellShift = 4;
    static constexpr int kCells = 256 >> kCellShift;
    struct Entry {
        int r, g, b, index;
    };
    struct Candidate {
        int near2;   // the entry's squared distance to the nearest point of the cell
        int r, g, b, index;
    };

    // An entry can be nearest somewhere in the cell only if it comes closer to the cell than
    // the farthest corner of the entry whose farthest corner is nearest.
    void build(size_t cell, int cr, int cg, int cb)
    {
        const int side = (1 << kCellShift) - 1;
        const auto far2 = [side](int v, int lo) {
            const int a = v - lo, b = lo + side - v;
            return std::max(a * a, b * b);
        };
        const auto near2 = [side](int v, int lo) {
            const int d = v < lo ? lo - v : (v > lo + side ? v - lo - side : 0);
            return d * d;
        };
        const int lr = cr << kCellShift, lg = cg << kCellShift, lb = cb << kCellShift;
        int bound = std::numeric_limits<int>::max();
        for (const Entry &e : entries_)
            bound = std::min(bound, far2(e.r, lr) + far2(e.g, lg) + far2(e.b, lb));
        const auto first = candidates_.size();
        cellStart_[cell] = std::int32_t(first);
        for (const Entry &e : entries_) {
            const int d = near2(e.r, lr) + near2(e.g, lg) + near2(e.b, lb);
            if (d <= bound)
                candidates_.push_back({d, e.r, e.g, e.b, e.index});
        }
        std::sort(candidates_.begin() + qsizetype(first), candidates_.end(),
                  [](const Candidate &a, const Candidate &b) {
                      return a.near2 != b.near2 ? a.near2 < b.near2 : a.index < b.index;
                  });
        candidates_.push_back({std::numeric_limits<int>::max(), 0, 0, 0, 0});   // ends the list
    }

    std::vector<Entry> entries_;
    std::vector<std::int32_t> cellStart_;
    std::vector<Candidate> candidates_;
    // Colours asked before and their answers (the colour plus one above the index, so that 0
    // is empty; white overflows and is simply looked up each time): a photograph asks for
    // the same colours again and again.
    static constexpr int kKnownBits = 14;
    std::vector<std::uint32_t> known_ = std::vector<std::uint32_t>(size_t(1) << kKnownBits);
};


class BitPacker {
public:
    explicit BitPacker(std::vector<std::uint8_t> &out) : out_(out) {}
    void put(int code, int bits)
    {
        acc_ |= std::uint64_t(code) << held_;
        held_ += bits;
        while (held_ >= 8) {
            out_.push_back(std::uint8_t(acc_ & 0xFF));
            acc_ >>= 8;
            held_ -= 8;
        }
    }
    void flush()
    {
        if (held_ > 0)
            out_.push_back(std::uint8_t(acc_ & 0xFF));
        acc_ = 0;
        held_ = 0;
    }

private:
    std::vector<std::uint8_t> &out_;
    std::uint64_t acc_ = 0;
    int held_ = 0;
};

// The string table of the LZW coder. Children are found through a small open-addressed hash
// of (code, pixel) that stays in the processor's cache, each slot holding both and the child
// code; the lossy search walks each code's list of children instead.
struct LzwTable {
    static constexpr int kHashBits = 13;   // twice the codes a table holds
    static constexpr size_t kSlots = size_t(1) << kHashBits;
    static constexpr std::uint32_t kHashMask = kSlots - 1;
    std::array<std::uint32_t, kSlots> entries{};   // 0: empty
    std::array<std::uint16_t, kLzwLastCode + 1> firstChild{};
    std::array<std::uint16_t, kLzwLastCode + 1> nextSibling{};
    std::array<std::uint8_t, kLzwLastCode + 1> suffix{};

    // (code, pixel) in the slot's top 20 bits, the child code (never 0) in the low 12.
    static std::uint32_t keyOf(int code, int pixel) { return std::uint32_t(code) << 8 | std::uint32_t(pixel); }
    static std::uint32_t hashOf(std::uint32_t key) { return (key * 2654435761u) >> (32 - kHashBits); }

    void clear()
    {
        entries.fill(0);
        firstChild.fill(0);
    }
    int find(int code, int pixel) const
    {
        const std::uint32_t key = keyOf(code, pixel);
        for (std::uint32_t h = hashOf(key);; h = (h + 1) & kHashMask) {
            const std::uint32_t slot = entries[h];
            if (slot == 0)
                return 0;
            if (slot >> kLzwMaxBits == key)
                return int(slot & kLzwLastCode);
        }
    }
    void add(int code, int pixel, int newCode)
    {
        const std::uint32_t key = keyOf(code, pixel);
        std::uint32_t h = hashOf(key);
        while (entries[h] != 0)
            h = (h + 1) & kHashMask;
        entries[h] = key << kLzwMaxBits | std::uint32_t(newCode);
        suffix[size_t(newCode)] = std::uint8_t(pixel);
        firstChild[size_t(newCode)] = 0;
        nextSibling[size_t(newCode)] = firstChild[size_t(code)];
        firstChild[size_t(code)] = std::uint16_t(newCode);
    }
};

} // namespace

int transparentEntry(const std::vector<QRgb> &palette)
{
    for (size_t i = 0; i < palette.size(); ++i)
        if (qAlpha(palette[i]) < 128)
            return int(i);
    return -1;
}

// Whole numbers throughout, so that the result is the same on every machine and thread.
IndexedFrame mapToPalette(const QImage &rgba, const std::vector<QRgb> &palette, float dither)
{
    const int w = rgba.width(), h = rgba.height();
    IndexedFrame out;
    out.width = w;
    out.height = h;
    out.palette = palette;
    out.transparentIndex = transparentEntry(palette);
    out.pixels.resize(size_t(w) * size_t(h));
    NearestColour nearest(palette);
    const int level = int(std::lround(std::clamp(dither, 0.0f, 1.0f) * kDitherOne));
    // Errors in sixteenths of a level, three channels a pixel, one pixel of margin each side.
    std::vector<int> thisRow(size_t(3) * size_t(w + 2)), nextRow(thisRow.size());
    for (int y = 0; y < h; ++y) {
        std::fill(nextRow.begin(), nextRow.end(), 0);
        const uchar *src = rgba.constScanLine(y);
        std::uint8_t *dst = out.pixels.data() + size_t(y) * size_t(w);
        const bool rightward = y % 2 == 0;
        const int dir = rightward ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = rightward ? i : w - 1 - i;
            const uchar *px = src + 4 * x;
            if (px[3] == 0 && out.transparentIndex >= 0) {
                dst[x] = std::uint8_t(out.transparentIndex);
                continue;
            }
            int *err = thisRow.data() + 3 * (x + 1);
            int v[3];
            for (int c = 0; c < 3; ++c)
                v[c] = std::clamp(px[c] + err[c] * level / (16 * kDitherOne), 0, 255);
            const int k = nearest.find(v[0], v[1], v[2]);
            dst[x] = std::uint8_t(k);
            if (level == 0)
                continue;
            const QRgb p = palette[size_t(k)];
            int e[3] = {v[0] - qRed(p), v[1] - qGreen(p), v[2] - qBlue(p)};
            // A large miss is carried only in part, so that one odd pixel does not streak.
            if (e[0] * e[0] + e[1] * e[1] + e[2] * e[2] > kDitherCap2)
                for (int &c : e)
                    c = c * 3 / 4;
            int *ahead = thisRow.data() + 3 * (x + 1 + dir);
            int *below = nextRow.data() + 3 * (x + 1);
            for (int c = 0; c < 3; ++c) {
                ahead[c] += 7 * e[c];
                below[c - 3 * dir] += 3 * e[c];
                below[c] += 5 * e[c];
                below[c + 3 * dir] += e[c];
            }
        }
        std::swap(thisRow, nextRow);
    }
    return out;
}

std::optional<IndexedFrame> quantizeFrame(const QImage &image, const Tuning &tuning)
{
    if (image.isNull())
        return std::nullopt;
    const QImage rgba = toRgbaWithBinaryAlpha(image);
    const std::optional<std::vector<QRgb>> palette = choosePalette(rgba, false, tuning);
    if (!palette)
        return std::nullopt;
    return mapToPalette(rgba, *palette, tuning.dither);
}

qint64 markRepeatedPixels(QImage &rgba, const QImage &shown, int tolerance)
{
    if (rgba.size() != shown.size() || tolerance < 0)
        return 0;
    qint64 marked = 0;
    const int w = rgba.width();
    for (int y = 0; y < rgba.height(); ++y) {
        uchar *px = rgba.scanLine(y);
        const uchar *old = shown.constScanLine(y);
        const auto repeats = [&](int x) {
            const uchar *a = px + 4 * x, *b = old + 4 * x;
            return a[3] != 0 && b[3] != 0 && std::abs(a[0] - b[0]) <= tolerance
                && std::abs(a[1] - b[1]) <= tolerance && std::abs(a[2] - b[2]) <= tolerance;
        };
        // Only runs are left out: a lone transparent pixel among new ones costs the LZW
        // strings more than it saves.
        for (int x = 0; x < w;) {
            if (!repeats(x)) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < w && repeats(end))
                ++end;
            if (end - x >= kMinRepeatRun) {
                std::fill(px + 4 * x, px + 4 * end, uchar(0));
                marked += end - x;
            }
            x = end;
        }
    }
    return marked;
}

QRect opaqueBounds(const IndexedFrame &frame)
{
    if (frame.transparentIndex < 0)
        return QRect(0, 0, frame.width, frame.height);
    int left = frame.width, right = -1, top = frame.height, bottom = -1;
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t *row = frame.pixels.data() + size_t(y) * size_t(frame.width);
        for (int x = 0; x < frame.width; ++x) {
            if (row[x] == frame.transparentIndex)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

IndexedFrame cropFrame(const IndexedFrame &frame, const QRect &rect)
{
    IndexedFrame out;
    out.palette = frame.palette;
    out.transparentIndex = frame.transparentIndex;
    const QRect r = rect.intersected(QRect(0, 0, frame.width, frame.height));
    out.width = r.width();
    out.height = r.height();
    out.pixels.reserve(size_t(r.width()) * size_t(r.height()));
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const auto row = frame.pixels.begin() + qsizetype(y) * frame.width;
        out.pixels.insert(out.pixels.end(), row + r.left(), row + r.left() + r.width());
    }
    return out;
}

int lzwMinimumCodeSize(const IndexedFrame &frame)
{
    // The size giflib writes for a colour table of this many entries (at least 2).
    return std::max(2, GifBitSize(int(frame.palette.size())));
}

std::vector<std::uint8_t> lzwEncode(IndexedFrame &frame, int tolerance)
{
    std::vector<std::uint8_t> out;
    if (frame.pixels.empty())
        return out;
    out.reserve(frame.pixels.size() / 2);
    static thread_local std::unique_ptr<LzwTable> table;
    if (!table)
        table = std::make_unique<LzwTable>();
    table->clear();

    const int minSize = lzwMinimumCodeSize(frame);
    const int clearCode = 1 << minSize, endCode = clearCode + 1;
    const int tolerance2 = tolerance > 0 ? tolerance * tolerance : -1;
    const int transparent = frame.transparentIndex;
    const std::vector<QRgb> &pal = frame.palette;
    const int palSize = int(pal.size());
    int bits = minSize + 1;
    int next = endCode + 1;
    BitPacker packer(out);
    packer.put(clearCode, bits);

    std::uint8_t *px = frame.pixels.data();
    const size_t count = frame.pixels.size();
    int current = px[0];
    for (size_t i = 1; i < count; ++i) {
        const int pixel = px[i];
        int found = table->find(current, pixel);
        if (!found && tolerance2 >= 0 && pixel != transparent && pixel < palSize) {
            // Lossy: the nearest colour that the table can already continue with, if it is
            // near enough. Never into or out of transparency, so what shows through stays.
            int best = tolerance2 + 1;
            for (int c = table->firstChild[size_t(current)]; c; c = table->nextSibling[size_t(c)]) {
                const int s = table->suffix[size_t(c)];
                if (s == transparent || s >= palSize)
                    continue;
                const int d = colourDistance2(pal[size_t(s)], pal[size_t(pixel)]);
                if (d < best) {
                    best = d;
                    found = c;
                }
            }
            if (found)
                px[i] = table->suffix[size_t(found)];
        }
        if (found) {
            current = found;
            continue;
        }
        packer.put(current, bits);
        if (next < kLzwLastCode) {
            table->add(current, pixel, next++);
            // Readers widen their codes once the table outgrows the current width.
            if (next > (1 << bits) && bits < kLzwMaxBits)
                ++bits;
        } else {
            packer.put(clearCode, bits);
            table->clear();
            bits = minSize + 1;
            next = endCode + 1;
        }
        current = pixel;
    }
    packer.put(current, bits);
    // A reader adds a string for this last code as for every other, and reads the end code
    // one bit wider when that string fills the current width.
    if (next == (1 << bits) && bits < kLzwMaxBits)
        ++bits;
    packer.put(endCode, bits);
    packer.flush();
    return out;
}

// ---------------------------------------------------------------- GifWriter

GifWriter::GifWriter(const Tuning &tuning, int threads)
    : tuning_(tuning), threads_(threads > 0 ? threads : std::max(1, int(std::thread::hardware_concurrency())))
{
}

GifWriter::~GifWriter()
{
    stopThreads(true);
    if (gif_) {
        int err = 0;
        EGifCloseFile(gif_, &err);
        gif_ = nullptr;
    }
    if (syncFd_ >= 0)
        ::close(syncFd_);
}

GpStatus GifWriter::open(const QString &path, QSize canvas, std::optional<int> loopCount)
{
    if (gif_ || canvas.isEmpty() || canvas.width() > 0xFFFF || canvas.height() > 0xFFFF)
        return InvalidParameter;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        noteSystemError();
        return codecs::statusFromErrno(errno);
    }
    syncFd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    int err = 0;
    gif_ = EGifOpenFileHandle(fd, &err);
    if (!gif_) {
        // giflib takes the descriptor only once it has its memory; without it, it is ours.
        ::close(fd);
        return OutOfMemory;
    }
    EGifSetGifVersion(gif_, true);
    canvas_ = canvas;
    if (EGifPutScreenDesc(gif_, canvas.width(), canvas.height(), kGifColourResolution, 0, nullptr)
        == GIF_ERROR) {
        if (gif_->Error == E_GIF_ERR_WRITE_FAILED)
            noteSystemError();
        return Win32Error;
    }
    if (loopCount) {
        static const char kApp[] = "NETSCAPE2.0";
        const int loops = *loopCount & 0xFFFF;
        const GifByteType sub[3] = {1, GifByteType(loops & 0xFF), GifByteType(loops >> 8)};
        if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR
            || EGifPutExtensionBlock(gif_, 11, kApp) == GIF_ERROR
            || EGifPutExtensionBlock(gif_, 3, sub) == GIF_ERROR
            || EGifPutExtensionTrailer(gif_) == GIF_ERROR) {
            if (gif_->Error == E_GIF_ERR_WRITE_FAILED)
                noteSystemError();
            return Win32Error;
        }
    }
    for (int i = 0; i < threads_; ++i)
        reducers_.emplace_back([this] { reduceLoop(); });
    writer_ = std::thread([this] { writeLoop(); });
    return Ok;
}

GpStatus GifWriter::addFrame(QImage frame, int delayCs)
{
    if (!gif_ || !writer_.joinable())
        return WrongState;
    if (frame.isNull())
        return InvalidParameter;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return inFlight_ <= threads_ || failure_ != Ok; });
        if (failure_ != Ok)
            return failure_;
    }
    Job job{nextSequence_, QImage(), std::clamp(delayCs, 0, kMaxDelayCs)};
    try {
        job.rgba = toRgbaWithBinaryAlpha(fitToCanvas(frame, canvas_));
        frame = QImage();   // the decoded picture goes as soon as its own copy exists
        job.opaque = isOpaque(job.rgba);
        if (shown_.isNull()) {
            shown_ = QImage(canvas_, QImage::Format_RGBA8888);
            shown_.fill(Qt::transparent);
        }
    } catch (const std::bad_alloc &) {
        return OutOfMemory;
    }
    if (job.rgba.isNull() || shown_.isNull())
        return OutOfMemory;
    // Only a whole opaque picture over a screen whose every pixel is known can leave pixels
    // out; a picture with transparent parts of its own is written whole over a cleared screen.
    job.repeats = shownKnown_ && job.opaque && tuning_.repeatTolerance >= 0
        && markRepeatedPixels(job.rgba, shown_, tuning_.repeatTolerance) > 0;
    // The picture behind each pixel the frame draws, for the next frame to compare with.
    // Comparing pictures rather than the palette colours shown keeps the dithering's noise
    // out of the comparison; comparing with the picture as it was when the pixel was drawn
    // (not the frame before) keeps slow changes from adding up.
    for (int y = 0; y < canvas_.height(); ++y) {
        const uchar *src = job.rgba.constScanLine(y);
        uchar *dst = shown_.scanLine(y);
        for (int x = 0; x < canvas_.width(); ++x, src += 4, dst += 4)
            if (src[3] != 0)
                std::copy_n(src, 4, dst);
    }
    shownKnown_ = job.opaque;

    std::lock_guard lock(mutex_);
    ++nextSequence_;
    queue_.push_back(std::move(job));
    ++inFlight_;
    changed_.notify_all();
    return Ok;
}

std::optional<GifWriter::Encoded> GifWriter::encode(Job &job) const
{
    // A frame that leaves pixels out keeps a palette entry for them.
    const std::optional<std::vector<QRgb>> palette = choosePalette(job.rgba, job.repeats, tuning_);
    if (!palette || (job.repeats && transparentEntry(*palette) < 0))
        return std::nullopt;
    IndexedFrame mapped = mapToPalette(job.rgba, *palette, tuning_.dither);
    job.rgba = QImage();
    Encoded out;
    out.delayCs = job.delayCs;
    out.repeats = job.repeats;
    out.opaque = job.opaque;
    if (job.repeats) {
        QRect box = opaqueBounds(mapped);
        if (box.isEmpty())
            box = QRect(0, 0, 1, 1);   // nothing changed: one transparent pixel holds the delay
        out.frame = cropFrame(mapped, box);
        out.at = box.topLeft();
    } else {
        out.frame = std::move(mapped);
    }
    out.codes = lzwEncode(out.frame, tuning_.lzwTolerance);
    return out;
}

void GifWriter::reduceLoop()
{
    keepQuantizerOnThisThread();
    for (;;) {
        Job job;
        bool failed;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty())
                return;
            job = std::move(queue_.front());
            queue_.pop_front();
            failed = failure_ != Ok;
        }
        std::optional<Encoded> done;
        if (!failed) {   // after a failure the file is lost anyway: only keep the count right
            // An exception leaving this thread would end the program: a frame too large for
            // the memory left fails the file (OutOfMemory below) instead.
            try {
                done = encode(job);
            } catch (const std::bad_alloc &) {
                done.reset();
            }
        }
        job.rgba = QImage();
        std::lock_guard lock(mutex_);
        if (!failed && !done && failure_ == Ok)
            failure_ = OutOfMemory;
        reduced_.emplace(job.sequence, std::move(done));
        changed_.notify_all();
    }
}

void GifWriter::writeLoop()
{
    for (;;) {
        std::optional<Encoded> next;
        bool write;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] {
                return reduced_.count(nextToWrite_) || (closing_ && inFlight_ == 0);
            });
            auto it = reduced_.find(nextToWrite_);
            if (it == reduced_.end())
                break;
            next = std::move(it->second);
            reduced_.erase(it);
            write = failure_ == Ok && next;
        }
        GpStatus status = Ok;
        if (write) {
            // The frame before stays on screen under this one only when this one lets it show.
            // A frame with holes of its own goes over a cleared screen; clearing a frame
            // clears only its rectangle, so the one before it then covers the canvas.
            if (pending_) {
                if (!next->repeats && !next->opaque)
                    coverCanvas(*pending_);
                status = writeFrame(*pending_, next->repeats ? DISPOSE_DO_NOT : DISPOSE_BACKGROUND);
            }
            pending_ = std::move(next);
        }
        std::lock_guard lock(mutex_);
        if (status != Ok && failure_ == Ok)
            failure_ = status;
        ++nextToWrite_;
        --inFlight_;
        changed_.notify_all();
    }
    // The last frame is cleared after its time, as every frame is that nothing repeats.
    bool write;
    {
        std::lock_guard lock(mutex_);
        write = failure_ == Ok && pending_;
    }
    if (write) {
        const GpStatus status = writeFrame(*pending_, DISPOSE_BACKGROUND);
        std::lock_guard lock(mutex_);
        if (status != Ok && failure_ == Ok)
            failure_ = status;
    }
    pending_.reset();
}

// A frame written as the part that changed, made whole again: transparent around that part.
void GifWriter::coverCanvas(Encoded &pending) const
{
    IndexedFrame &part = pending.frame;
    if (pending.at.isNull() && QSize(part.width, part.height) == canvas_)
        return;
    IndexedFrame whole;
    whole.width = canvas_.width();
    whole.height = canvas_.height();
    whole.palette = part.palette;
    whole.transparentIndex = part.transparentIndex;
    whole.pixels.assign(size_t(whole.width) * size_t(whole.height), std::uint8_t(part.transparentIndex));
    for (int y = 0; y < part.height; ++y)
        std::copy_n(part.pixels.begin() + qsizetype(y) * part.width, part.width,
                    whole.pixels.begin() + qsizetype(pending.at.y() + y) * whole.width + pending.at.x());
    pending.frame = std::move(whole);
    pending.at = QPoint();
    // Its pixels are already the ones a reader decodes: coded exactly.
    pending.codes = lzwEncode(pending.frame, 0);
}

GpStatus GifWriter::writeFrame(const Encoded &pending, int disposal)
{
    const IndexedFrame &frame = pending.frame;
    const int colours = 1 << GifBitSize(int(frame.palette.size()));
    std::vector<GifColorType> entries(size_t(colours), GifColorType{0, 0, 0});
    for (size_t i = 0; i < frame.palette.size(); ++i)
        entries[i] = GifColorType{GifByteType(qRed(frame.palette[i])),
                                  GifByteType(qGreen(frame.palette[i])),
                                  GifByteType(qBlue(frame.palette[i]))};
    std::unique_ptr<ColorMapObject, ColourMapFree> map(GifMakeMapObject(colours, entries.data()));
    if (!map)
        return OutOfMemory;

    GraphicsControlBlock gcb{};
    gcb.DisposalMode = disposal;
    gcb.UserInputFlag = false;
    gcb.DelayTime = pending.delayCs;
    gcb.TransparentColor = frame.transparentIndex;
    GifByteType ext[4];
    const size_t extLen = EGifGCBToExtension(&gcb, ext);
    bool ok = EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, int(extLen), ext) != GIF_ERROR
        && EGifPutImageDesc(gif_, pending.at.x(), pending.at.y(), frame.width, frame.height, false,
                            map.get())
            != GIF_ERROR;
    // The pixels go as ready-made code blocks: giflib wrote the code size with the image
    // descriptor, from the same colour table that lzwMinimumCodeSize reads.
    GifByteType block[kSubBlockBytes + 1];
    const std::vector<std::uint8_t> &codes = pending.codes;
    for (size_t at = 0; ok && at < codes.size(); at += kSubBlockBytes) {
        const size_t n = std::min(codes.size() - at, size_t(kSubBlockBytes));
        block[0] = GifByteType(n);
        std::copy_n(codes.begin() + qsizetype(at), n, block + 1);
        ok = (at == 0 ? EGifPutCode(gif_, lzwMinimumCodeSize(frame), block)
                      : EGifPutCodeNext(gif_, block))
            != GIF_ERROR;
    }
    ok = ok && EGifPutCodeNext(gif_, nullptr) != GIF_ERROR;
    if (!ok) {
        if (gif_->Error == E_GIF_ERR_WRITE_FAILED)
            noteSystemError();
        qCWarning(lcGif) << "writing a frame failed:" << GifErrorString(gif_->Error);
        return Win32Error;
    }
    ++framesWritten_;
    return Ok;
}

void GifWriter::stopThreads(bool discardQueued)
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        if (discardQueued) {
            inFlight_ -= int(queue_.size());
            queue_.clear();
            if (failure_ == Ok)
                failure_ = Aborted;
        }
        changed_.notify_all();
    }
    for (std::thread &t : reducers_)
        t.join();
    reducers_.clear();
    if (writer_.joinable())
        writer_.join();
}

GpStatus GifWriter::finish()
{
    if (!gif_)
        return WrongState;
    stopThreads(false);
    GpStatus status;
    {
        std::lock_guard lock(mutex_);
        status = failure_;
    }
    if (status == Ok && framesWritten_ == 0)
        status = WrongState;   // a GIF without a picture is no file
    int err = 0;
    const bool closed = EGifCloseFile(gif_, &err) != GIF_ERROR;
    // What was still buffered is written on closing: a full disk may show only now.
    if (!closed && (err == E_GIF_ERR_WRITE_FAILED || err == E_GIF_ERR_CLOSE_FAILED))
        noteSystemError();
    gif_ = nullptr;
    if (status == Ok && !closed)
        status = Win32Error;
    if (syncFd_ >= 0) {
        if (status == Ok && ::fsync(syncFd_) != 0 && errno != EINVAL) {
            noteSystemError();
            status = codecs::statusFromErrno(errno);
        }
        ::close(syncFd_);
        syncFd_ = -1;
    }
    return status;
}

void GifWriter::noteSystemError()
{
    int none = 0;
    if (const int e = errno; e != 0)
        systemError_.compare_exchange_strong(none, e);
}

} // namespace platform::gif
