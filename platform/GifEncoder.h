#pragma once
#include "platform/GdiPlus.h"
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct GifFileType;

// Writing animated GIF files: every frame gets a palette of its own (chosen by libimagequant,
// each pixel mapped to it by our own nearest-colour search, lightly dithered) and giflib
// writes the file around our own LZW coder. A frame that repeats much of what is
// on screen is written as the rectangle that changed, the repeated runs transparent over the
// previous frame (which is then kept on screen rather than cleared). The pixel steps are plain
// functions; GifWriter strings them together on threads of its own so that the caller can
// decode the next picture meanwhile.
namespace platform::gif {

using gdiplus::GpStatus;

// A frame of another size than the animation: scaled to fit inside it with its proportions
// kept, centred, on black. A frame of the right size comes back unchanged.
QImage fitToCanvas(const QImage &frame, QSize canvas);

struct IndexedFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;   // one palette index per pixel, rows top to bottom
    std::vector<QRgb> palette;          // 1 to 256 entries
    int transparentIndex = -1;          // entry shown as transparent, -1 when none
};

// How hard the frames are reduced and squeezed. The defaults are what the builder uses; the
// measurements behind them are in GifEncoder.cpp.
struct Tuning {
    int speed = 7;                // libimagequant: 1 slowest and best, 10 fastest
    float dither = 0.2f;          // 0 none, 1 full Floyd-Steinberg
    // A large frame's palette is chosen from every sampleStep-th pixel of every
    // sampleStep-th row.
    int sampleStep = 3;
    // Lossy LZW: a pixel may take another palette entry whose colour lies within this
    // distance (Euclidean, 0-255 per channel) of its own when that lengthens the string
    // being coded. 0 codes the palette indexes exactly.
    int lzwTolerance = 6;
    // A pixel whose picture differs by at most this much in every channel from the picture
    // it was last drawn from is left transparent, so the earlier frame shows through.
    // -1: every frame is written whole.
    int repeatTolerance = 4;
};

// GIF knows only fully transparent or opaque pixels: alpha below half becomes transparent.
// Gives a straight (not premultiplied) RGBA8888 image, the byte order the quantizer reads.
QImage toRgbaWithBinaryAlpha(const QImage &image);

// The first entry of a palette shown as transparent (alpha below half), -1 when none.
int transparentEntry(const std::vector<QRgb> &palette);

// Maps every pixel of a picture (RGBA8888, binary alpha) to the opaque palette entry nearest
// in plain RGB distance (the lowest index among equals), spreading what each pixel misses
// over the pixels not yet mapped (Floyd-Steinberg, rows in alternate directions), of which
// `dither` (0 to 1) is carried. Pixels with alpha 0 take the transparent entry and pass no
// error on.
IndexedFrame mapToPalette(const QImage &rgba, const std::vector<QRgb> &palette, float dither);

// Reduces a picture to a palette of at most 256 colours made for it, with dithering.
// Nothing when the quantizer fails.
std::optional<IndexedFrame> quantizeFrame(const QImage &image, const Tuning &tuning = {});

// A frame (RGBA8888) that mostly repeats `shown`, the pictures behind what the screen holds
// before it (same size): runs of pixels within `tolerance` of it in every channel get alpha 0,
// which the quantizer turns into the transparent entry. Gives the number of such pixels.
qint64 markRepeatedPixels(QImage &rgba, const QImage &shown, int tolerance);

// The smallest rectangle holding every pixel that is not transparent (empty when none).
QRect opaqueBounds(const IndexedFrame &frame);
IndexedFrame cropFrame(const IndexedFrame &frame, const QRect &rect);

// GIF's LZW code stream for the frame's pixels (without the leading code size byte), split
// into sub-blocks of at most 255 bytes, each led by its length, ending with an empty one.
// With a tolerance, pixels may be changed to palette entries of nearby colour (never to or
// from the transparent entry) where that gives longer strings; `frame.pixels` is updated to
// what a reader will decode.
std::vector<std::uint8_t> lzwEncode(IndexedFrame &frame, int tolerance);
int lzwMinimumCodeSize(const IndexedFrame &frame);

class GifWriter {
public:
    // `threads` frames are reduced to their palettes and coded at once; 0 gives one per
    // processor core. The file is the same whatever their number.
    explicit GifWriter(const Tuning &tuning = {}, int threads = 0);
    ~GifWriter();   // a writer not finished is abandoned: its file stays as far as it got
    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;

    // Creates (or truncates) the file for an animation of `canvas` pixels. With a loop count
    // the file carries the NETSCAPE2.0 loop extension (0 = for ever); without it, it plays once.
    GpStatus open(const QString &path, QSize canvas, std::optional<int> loopCount);
    // Queues a frame; delay in hundredths of a second. Frames are reduced to their palettes
    // and coded on the writer's threads and written in the order they were added. Waits while
    // one frame more than there are threads is queued or being worked on, so memory does not
    // grow with the number of frames. Returns the first failure so far (Ok when none).
    GpStatus addFrame(QImage frame, int delayCs);
    // Writes the queued frames and the trailer, closes the file and flushes it to the disk.
    // Ok only when every frame and the close succeeded.
    GpStatus finish();

    // Frames written so far (the fuzz target checks that none is lost).
    int framesWritten() const { return framesWritten_; }
    // The system's error number behind the first write to the file that failed (a full disk,
    // say), 0 when none failed or the system gave no reason.
    int systemError() const { return systemError_.load(); }

private:
    struct Job {
        int sequence = 0;
        QImage rgba;            // the picture fitted to the canvas, RGBA8888, binary alpha
        int delayCs = 0;
        bool opaque = true;     // the picture itself has no transparent pixel
        bool repeats = false;   // pixels it repeats were made transparent
    };
    // A frame ready for the file, waiting for its turn (and for the next frame, which tells
    // whether it stays on screen under that one).
    struct Encoded {
        IndexedFrame frame;
        QPoint at;
        int delayCs = 0;
        bool repeats = false;
        bool opaque = true;
        std::vector<std::uint8_t> codes;   // the frame's LZW stream
    };
    void reduceLoop();
    void writeLoop();
    std::optional<Encoded> encode(Job &job) const;
    GpStatus writeFrame(const Encoded &frame, int disposal);
    void coverCanvas(Encoded &frame) const;

    Tuning tuning_;
    int threads_;
    void stopThreads(bool discardQueued);
    // Keeps errno as the reason of a failed write, unless one is kept already.
    void noteSystemError();

    GifFileType *gif_ = nullptr;
    int syncFd_ = -1;   // a second descriptor of the file, to flush it after giflib closed it
    QSize canvas_;
    int framesWritten_ = 0;
    std::atomic<int> systemError_{0};   // set by the adding or the writing thread

    // Touched by the adding thread only: which pixels repeat depends on no palette, so it is
    // decided in frame order as frames come, and everything after it runs in parallel.
    QImage shown_;                     // the pictures behind what the screen holds now
    bool shownKnown_ = false;          // every pixel of shown_ is opaque and known
    // Touched by the writing thread only:
    std::optional<Encoded> pending_;

    std::vector<std::thread> reducers_;
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_:
    std::deque<Job> queue_;
    std::map<int, std::optional<Encoded>> reduced_;   // by sequence (nothing: failed)
    int nextSequence_ = 0;
    int nextToWrite_ = 0;
    int inFlight_ = 0;                 // added and not yet written (or dropped)
    bool closing_ = false;
    GpStatus failure_ = gdiplus::Ok;
};

} // namespace platform::gif
