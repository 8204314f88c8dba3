#pragma once
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRgb>
#include <QSize>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

// What a caller hands the GIF writer, as the bytes of a fuzzing input: the canvas, the loop
// count and the tuning; frames of any size and pixel format with their delays, some repeating
// the frame before in whole or in part; and one palette-indexed frame for the LZW coder
// alone. The fuzz target reads it, the seed maker writes it, so both live here. Sides are
// kept small so that every input runs in milliseconds.
namespace gifscript {

constexpr int kMaxSide = 64;
constexpr int kMaxFrames = 6;

// The pixel formats a decoded picture can come in.
constexpr QImage::Format kFormats[] = {
    QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
    QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_Grayscale8,
    QImage::Format_Mono, QImage::Format_RGBA64, QImage::Format_RGB16, QImage::Format_RGBA8888};
constexpr int kFormatCount = int(std::size(kFormats));

struct Frame {
    enum class Kind : std::uint8_t { New, Repeat, Touched };
    Kind kind = Kind::New;
    int delayCs = 10;
    QImage image;     // New
    QRect touched;    // Touched: this part of the frame before, filled with `colour`
    QRgb colour = 0;
};

struct Script {
    QSize canvas{16, 16};
    std::optional<int> loopCount;
    int speed = 6;
    float dither = 0.2f;
    int lzwTolerance = 6;
    int repeatTolerance = 4;
    std::vector<Frame> frames;
    // For the LZW coder alone.
    std::vector<QRgb> palette{qRgb(0, 0, 0)};
    int transparentIndex = -1;
    QSize indexedSize{1, 1};
    int indexedTolerance = 0;
    std::vector<std::uint8_t> indices{0};
};

// Reads bytes in order; past the end it gives zeros, so every input is a script.
class Reader {
public:
    Reader(const unsigned char *data, size_t size) : data_(data), size_(size) {}
    unsigned u8() { return at_ < size_ ? data_[at_++] : 0u; }
    unsigned u16()
    {
        const unsigned low = u8();
        return low | (u8() << 8);
    }
    std::int32_t i32()
    {
        const std::uint32_t low = u16();
        return std::int32_t(low | (std::uint32_t(u16()) << 16));
    }
    int side() { return 1 + int(u8() % kMaxSide); }

private:
    const unsigned char *data_;
    size_t size_;
    size_t at_ = 0;
};

class Writer {
public:
    void u8(unsigned v) { out_.append(char(v & 0xFF)); }
    void u16(unsigned v) { u8(v); u8(v >> 8); }
    void i32(std::int32_t v) { u16(std::uint32_t(v) & 0xFFFF); u16(std::uint32_t(v) >> 16); }
    void side(int v) { u8(unsigned(v - 1)); }
    const QByteArray &bytes() const { return out_; }

private:
    QByteArray out_;
};

// The bytes a row of `image` holds for its pixels (not the padding).
inline int rowBytes(const QImage &image)
{
    return (image.width() * image.depth() + 7) / 8;
}

inline Script read(const unsigned char *data, size_t size)
{
    Reader r(data, size);
    Script s;
    s.canvas = QSize(r.side(), r.side());
    const bool loops = r.u8() & 1;
    const int loopCount = int(r.u16());
    if (loops)
        s.loopCount = loopCount;
    s.speed = int(r.u8() % 12);                             // 0 and 11: out of range on purpose
    s.dither = float(r.u8()) / 200.0f - 0.1f;               // -0.1 to 1.175
    s.lzwTolerance = int(r.u8());
    s.repeatTolerance = int(r.u8()) - 1;
    const int frames = 1 + int(r.u8() % kMaxFrames);
    for (int i = 0; i < frames; ++i) {
        Frame f;
        const unsigned kind = r.u8() % 3;
        f.kind = i == 0 ? Frame::Kind::New : Frame::Kind(kind);
        f.delayCs = r.i32();
        if (f.kind == Frame::Kind::Touched) {
            const int x = int(r.u8() % kMaxSide), y = int(r.u8() % kMaxSide);
            f.touched = QRect(x, y, r.side(), r.side());
            f.colour = QRgb(r.i32());
        } else if (f.kind == Frame::Kind::New) {
            const int w = r.side(), h = r.side();
            f.image = QImage(w, h, kFormats[r.u8() % kFormatCount]);
            // A decoder's palette pictures index only their colour table (Qt reads past it
            // otherwise): Mono has two colours, Indexed8 its pixels taken modulo its count.
            const bool mono = f.image.format() == QImage::Format_Mono;
            int colours = 256;
            if (f.image.format() == QImage::Format_Indexed8 || mono) {
                colours = mono ? 2 : 1 + int(r.u8());
                QList<QRgb> table;
                for (int c = 0; c < colours; ++c)
                    table.append(QRgb(r.i32()));
                f.image.setColorTable(table);
            }
            for (int y = 0; y < h; ++y) {
                uchar *row = f.image.scanLine(y);
                for (int b = 0; b < rowBytes(f.image); ++b)
                    row[b] = uchar(mono ? r.u8() : r.u8() % unsigned(colours));
            }
        }
        s.frames.push_back(std::move(f));
    }
    s.palette.clear();
    const int colours = 1 + int(r.u8());
    for (int c = 0; c < colours; ++c) {
        const unsigned red = r.u8(), green = r.u8(), blue = r.u8();
        s.palette.push_back(qRgb(int(red), int(green), int(blue)));
    }
    s.transparentIndex = int(r.u8() % unsigned(colours + 1)) - 1;
    s.indexedSize = QSize(r.side(), r.side());
    s.indexedTolerance = int(r.u8());
    s.indices.clear();
    for (int i = 0; i < s.indexedSize.width() * s.indexedSize.height(); ++i)
        s.indices.push_back(std::uint8_t(r.u8() % unsigned(colours)));
    return s;
}

// The bytes `read` turns back into `s` (sides, counts and the like within their ranges).
inline QByteArray write(const Script &s)
{
    Writer w;
    w.side(s.canvas.width());
    w.side(s.canvas.height());
    w.u8(s.loopCount ? 1 : 0);
    w.u16(unsigned(s.loopCount.value_or(0)));
    w.u8(unsigned(s.speed));
    w.u8(unsigned(std::clamp((s.dither + 0.1f) * 200.0f, 0.0f, 255.0f) + 0.5f));
    w.u8(unsigned(s.lzwTolerance));
    w.u8(unsigned(s.repeatTolerance + 1));
    w.u8(unsigned(s.frames.size() - 1));
    for (const Frame &f : s.frames) {
        w.u8(unsigned(f.kind));
        w.i32(f.delayCs);
        if (f.kind == Frame::Kind::Touched) {
            w.u8(unsigned(f.touched.x()));
            w.u8(unsigned(f.touched.y()));
            w.side(f.touched.width());
            w.side(f.touched.height());
            w.i32(std::int32_t(f.colour));
        } else if (f.kind == Frame::Kind::New) {
            w.side(f.image.width());
            w.side(f.image.height());
            const auto format = std::find(std::begin(kFormats), std::end(kFormats), f.image.format());
            w.u8(unsigned(format - std::begin(kFormats)));
            if (f.image.format() == QImage::Format_Indexed8 || f.image.format() == QImage::Format_Mono) {
                if (f.image.format() == QImage::Format_Indexed8)
                    w.u8(unsigned(f.image.colorCount() - 1));
                for (QRgb c : f.image.colorTable())
                    w.i32(std::int32_t(c));
            }
            for (int y = 0; y < f.image.height(); ++y)
                for (int b = 0; b < rowBytes(f.image); ++b)
                    w.u8(f.image.constScanLine(y)[b]);
        }
    }
    w.u8(unsigned(s.palette.size() - 1));
    for (QRgb c : s.palette) {
        w.u8(unsigned(qRed(c)));
        w.u8(unsigned(qGreen(c)));
        w.u8(unsigned(qBlue(c)));
    }
    w.u8(unsigned(s.transparentIndex + 1));
    w.side(s.indexedSize.width());
    w.side(s.indexedSize.height());
    w.u8(unsigned(s.indexedTolerance));
    for (std::uint8_t i : s.indices)
        w.u8(i);
    return w.bytes();
}

} // namespace gifscript
