#pragma once
#include "platform/GdiPlus.h"
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
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
    // Queues a frame; delay in hundredths of a second. Frames are written in the order they
    // are added. Waits while a frame is already queued, so that at most two frames are held
    // besides the caller's. Returns the first failure so far (Ok when none).
    GpStatus addFrame(QImage frame, int delayCs);
    // Writes the queued frames and the trailer, closes the file and flushes it to the disk.
    // Ok only when every frame and the close succeeded.
    GpStatus finish();

    bool isOpen() const { return gif_ != nullptr; }
    int framesWritten() const { return framesWritten_; }

private:
    struct Job {
        QImage image;
        int delayCs;
    };
    void run();
    GpStatus writeFrame(const Job &job);
    void stopWorker(bool discardQueued);

    GifFileType *gif_ = nullptr;
    int syncFd_ = -1;   // a second descriptor of the file, to flush it after giflib closed it
    QSize canvas_;
    int framesWritten_ = 0;

    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    bool closing_ = false;
    GpStatus failure_ = gdiplus::Ok;   // guarded by mutex_
};

} // namespace platform::gif
