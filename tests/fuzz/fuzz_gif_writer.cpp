// The GIF writer on what callers may hand it: canvases, loop counts and tuning; frames of
// every size and pixel format, with any delay, some repeating the frame before; and palette
// frames for the LZW coder alone. Beyond the sanitizers, the file must read back with giflib's
// own decoder as what was asked, and the coder's stream must decode to what it says it wrote.
#include "FuzzSupport.h"
#include "GifWriterScript.h"
#include "animgif/GifTestSupport.h"
#include "support/LzwReference.h"
#include "platform/GifEncoder.h"

#include <QPainter>

namespace gif = platform::gif;

namespace {

using fuzzsupport::check;

int distance2(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

void checkIndexedFrame(const gifscript::Script &s)
{
    gif::IndexedFrame frame;
    frame.width = s.indexedSize.width();
    frame.height = s.indexedSize.height();
    frame.palette = s.palette;
    frame.transparentIndex = s.transparentIndex;
    frame.pixels = s.indices;
    const std::vector<std::uint8_t> original = frame.pixels;
    const std::vector<std::uint8_t> codes = gif::lzwEncode(frame, s.indexedTolerance);
    const auto decoded = lzwreference::decode(codes, gif::lzwMinimumCodeSize(frame));
    check(decoded.has_value(), "the LZW stream is valid");
    check(*decoded == frame.pixels, "the LZW stream decodes to the pixels the coder reports");
    const int bound = s.indexedTolerance * s.indexedTolerance;
    for (size_t i = 0; i < original.size(); ++i) {
        const int was = original[i], now = frame.pixels[i];
        check((was == frame.transparentIndex) == (now == frame.transparentIndex),
              "lossy coding never moves a pixel into or out of transparency");
        check(now < int(frame.palette.size()), "lossy coding keeps to the palette");
        check(was == now || distance2(frame.palette[size_t(was)], frame.palette[size_t(now)]) <= bound,
              "lossy coding keeps within its tolerance");
    }
    const QRect box = gif::opaqueBounds(frame);
    const gif::IndexedFrame cropped = gif::cropFrame(frame, box);
    check(cropped.pixels.size() == size_t(box.width()) * size_t(box.height()), "a crop holds its rectangle");
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            check(box.contains(x, y) || frame.pixels[size_t(y * frame.width + x)] == frame.transparentIndex,
                  "every pixel outside the opaque bounds is transparent");
}

// The pictures the script hands the writer, in order.
std::vector<QImage> pictures(const gifscript::Script &s)
{
    std::vector<QImage> out;
    for (const gifscript::Frame &f : s.frames) {
        if (f.kind == gifscript::Frame::Kind::New) {
            out.push_back(f.image);
            continue;
        }
        QImage picture = out.back();
        if (f.kind == gifscript::Frame::Kind::Touched) {
            picture = picture.convertToFormat(QImage::Format_ARGB32);
            QPainter p(&picture);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.fillRect(f.touched, QColor::fromRgba(f.colour));
        }
        out.push_back(picture);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    static fuzzsupport::MemoryFile file;
    const gifscript::Script s = gifscript::read(data, size);
    checkIndexedFrame(s);

    gif::Tuning tuning;
    tuning.speed = s.speed;
    tuning.dither = s.dither;
    tuning.lzwTolerance = s.lzwTolerance;
    tuning.repeatTolerance = s.repeatTolerance;
    const std::vector<QImage> frames = pictures(s);
    {
        gif::GifWriter writer(tuning);
        check(writer.open(file.path(), s.canvas, s.loopCount) == platform::gdiplus::Ok, "the writer opens");
        for (size_t i = 0; i < frames.size(); ++i)
            check(writer.addFrame(frames[i], s.frames[i].delayCs) == platform::gdiplus::Ok, "a frame is taken");
        check(writer.finish() == platform::gdiplus::Ok, "the file is finished");
        check(writer.framesWritten() == int(frames.size()), "every frame is written");
    }

    const giftest::File back = giftest::readGif(file.path());
    check(back.ok, "giflib reads the file");
    check(QSize(back.width, back.height) == s.canvas, "the file has the canvas's size");
    check(back.frames.size() == frames.size(), "the file holds every frame");
    check(back.loopCount == (s.loopCount ? std::optional<int>(*s.loopCount & 0xFFFF) : std::nullopt),
          "the loop count is the one asked for");
    const std::vector<QImage> shown = giftest::composeFrames(back);
    for (size_t i = 0; i < frames.size(); ++i) {
        const giftest::Frame &f = back.frames[i];
        check(f.left >= 0 && f.top >= 0 && f.left + f.width <= s.canvas.width()
                  && f.top + f.height <= s.canvas.height(),
              "a frame lies within the canvas");
        check(f.delayCs == std::clamp(s.frames[i].delayCs, 0, 0xFFFF), "a frame keeps its delay");
        // What shows after each frame is opaque exactly where its picture is: nothing a
        // frame leaves out for the one before to show through makes a hole.
        const QImage picture = gif::toRgbaWithBinaryAlpha(gif::fitToCanvas(frames[i], s.canvas));
        for (int y = 0; y < s.canvas.height(); ++y)
            for (int x = 0; x < s.canvas.width(); ++x)
                check((qAlpha(shown[i].pixel(x, y)) != 0) == (picture.pixelColor(x, y).alpha() != 0),
                      "the screen is opaque exactly where the picture is");
    }
    return 0;
}
