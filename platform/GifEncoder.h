#pragma once
#include "platform/GdiPlus.h"
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>
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

// Writing animated GIF files: every frame gets a palette of its own (libimagequant, dithered)
// and giflib writes the file. The pixel steps are plain functions; GifWriter strings them
// together on a thread of its own so that the caller can decode the next picture meanwhile.
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

// GIF knows only fully transparent or opaque pixels: alpha below half becomes transparent.
// Gives a straight (not premultiplied) RGBA8888 image, the byte order the quantizer reads.
QImage toRgbaWithBinaryAlpha(const QImage &image);

// Reduces a picture to a palette of at most 256 colours made for it, with dithering.
// Nothing when the quantizer fails.
std::optional<IndexedFrame> quantizeFrame(const QImage &image);

class GifWriter {
public:
    GifWriter();
    ~GifWriter();   // a writer not finished is abandoned: its file stays as far as it got
    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;

    // Creates (or truncates) the file for an animation of `canvas` pixels. With a loop count
    // the file carries the NETSCAPE2.0 loop extension (0 = for ever); without it, it plays once.
    GpStatus open(const QString &path, QSize canvas, std::optional<int> loopCount);
    // Queues a frame; delay in hundredths of a second. Frames are reduced to their palettes
    // on up to two threads and written in the order they were added. Waits while
    // kFramesInFlight frames are queued or being worked on, so memory does not grow with the
    // number of frames. Returns the first failure so far (Ok when none).
    GpStatus addFrame(QImage frame, int delayCs);
    // Writes the queued frames and the trailer, closes the file and flushes it to the disk.
    // Ok only when every frame and the close succeeded.
    GpStatus finish();

    bool isOpen() const { return gif_ != nullptr; }
    int framesWritten() const { return framesWritten_; }

    static constexpr int kFramesInFlight = 3;

private:
    struct Job {
        int sequence = 0;
        QImage image;
        int delayCs = 0;
    };
    struct Reduced {
        int delayCs = 0;
        std::optional<IndexedFrame> frame;   // nothing when the reduction failed
    };
    void reduceLoop();
    void writeLoop();
    GpStatus writeFrame(const IndexedFrame &frame, int delayCs);
    void stopThreads(bool discardQueued);

    GifFileType *gif_ = nullptr;
    int syncFd_ = -1;   // a second descriptor of the file, to flush it after giflib closed it
    QSize canvas_;
    int framesWritten_ = 0;

    std::vector<std::thread> reducers_;
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_:
    std::deque<Job> queue_;
    std::map<int, Reduced> reduced_;   // by sequence, waiting for their turn to be written
    int nextSequence_ = 0;
    int nextToWrite_ = 0;
    int inFlight_ = 0;                 // added and not yet written (or dropped)
    bool closing_ = false;
    GpStatus failure_ = gdiplus::Ok;
};

} // namespace platform::gif
