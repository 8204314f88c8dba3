#include "platform/GifEncoder.h"
#include "platform/GdiPlusCodecs.h"

#include <QFile>
#include <QLoggingCategory>
#include <QPainter>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <gif_lib.h>
#include <libimagequant.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcGif, "pixmar.gif")

namespace platform::gif {
namespace {

using namespace gdiplus;

// libimagequant's speed/quality trade (1 slowest, 4 its default). Measured on sixty
// 1000 x 750 photographs with two cores: 6 took 6.1 s at 40.3 dB, 7 took 5.2 s at 40.1 dB,
// 8 took 3.7 s at 38.5 dB (it reads the input at 7 bits per channel). 8 keeps the build more
// than twice as fast as a palette-per-frame ffmpeg run while still above its quality.
constexpr int kQuantizeSpeed = 8;
constexpr float kDitherLevel = 1.0f;
constexpr qint64 kFullHistogramPixels = 512 * 512;
constexpr int kMaxColours = 256;
constexpr int kGifColourResolution = 8;
constexpr int kMaxDelayCs = 0xFFFF;    // the frame delay field is 16 bits wide
constexpr int kMaxReducers = 2;       // the machines we run on have two cores or more

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

std::optional<IndexedFrame> quantizeFrame(const QImage &image)
{
    if (image.isNull())
        return std::nullopt;
    const QImage rgba = toRgbaWithBinaryAlpha(image);
    const int w = rgba.width(), h = rgba.height();

    std::unique_ptr<liq_attr, LiqAttrFree> attr(liq_attr_create());
    if (!attr)
        return std::nullopt;
    liq_set_speed(attr.get(), kQuantizeSpeed);
    liq_set_max_colors(attr.get(), kMaxColours);

    std::vector<void *> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = const_cast<uchar *>(rgba.constScanLine(y));
    std::unique_ptr<liq_image, LiqImageFree> img(
        liq_image_create_rgba_rows(attr.get(), rows.data(), w, h, 0));
    if (!img)
        return std::nullopt;

    // The palette is chosen from every second pixel of every second row when the picture is
    // large: a quarter of the work for the same palette to within a tenth of a dB.
    liq_result *raw = nullptr;
    if (qint64(w) * h > kFullHistogramPixels) {
        const QImage sample = rgba.scaled(w / 2, h / 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        std::vector<void *> sampleRows(static_cast<size_t>(sample.height()));
        for (int y = 0; y < sample.height(); ++y)
            sampleRows[size_t(y)] = const_cast<uchar *>(sample.constScanLine(y));
        std::unique_ptr<liq_image, LiqImageFree> small(liq_image_create_rgba_rows(
            attr.get(), sampleRows.data(), sample.width(), sample.height(), 0));
        std::unique_ptr<liq_histogram, LiqHistogramFree> hist(liq_histogram_create(attr.get()));
        if (!small || !hist || liq_histogram_add_image(hist.get(), attr.get(), small.get()) != LIQ_OK
            || liq_histogram_quantize(hist.get(), attr.get(), &raw) != LIQ_OK || !raw)
            return std::nullopt;
    } else if (liq_image_quantize(img.get(), attr.get(), &raw) != LIQ_OK || !raw) {
        return std::nullopt;
    }
    std::unique_ptr<liq_result, LiqResultFree> result(raw);
    liq_set_dithering_level(result.get(), kDitherLevel);

    IndexedFrame out;
    out.width = w;
    out.height = h;
    out.pixels.resize(size_t(w) * size_t(h));
    if (liq_write_remapped_image(result.get(), img.get(), out.pixels.data(), out.pixels.size())
        != LIQ_OK)
        return std::nullopt;
    const liq_palette *pal = liq_get_palette(result.get());
    out.palette.reserve(pal->count);
    for (unsigned i = 0; i < pal->count; ++i) {
        const liq_color &c = pal->entries[i];
        out.palette.push_back(qRgba(c.r, c.g, c.b, c.a));
        if (c.a < 128 && out.transparentIndex < 0)
            out.transparentIndex = int(i);
    }
    return out;
}

// ---------------------------------------------------------------- GifWriter

GifWriter::GifWriter() = default;

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
    if (fd < 0)
        return codecs::statusFromErrno(errno);
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
        == GIF_ERROR)
        return Win32Error;
    if (loopCount) {
        static const char kApp[] = "NETSCAPE2.0";
        const int loops = *loopCount & 0xFFFF;
        const GifByteType sub[3] = {1, GifByteType(loops & 0xFF), GifByteType(loops >> 8)};
        if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR
            || EGifPutExtensionBlock(gif_, 11, kApp) == GIF_ERROR
            || EGifPutExtensionBlock(gif_, 3, sub) == GIF_ERROR
            || EGifPutExtensionTrailer(gif_) == GIF_ERROR)
            return Win32Error;
    }
    const int reducers = std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxReducers);
    for (int i = 0; i < reducers; ++i)
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
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return inFlight_ < kFramesInFlight || failure_ != Ok; });
    if (failure_ != Ok)
        return failure_;
    queue_.push_back(Job{nextSequence_++, std::move(frame), std::clamp(delayCs, 0, kMaxDelayCs)});
    ++inFlight_;
    changed_.notify_all();
    return Ok;
}

void GifWriter::reduceLoop()
{
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
        Reduced done{job.delayCs, std::nullopt};
        if (!failed) {   // after a failure the file is lost anyway: only keep the count right
            // An exception leaving this thread would end the program: a frame too large for
            // the memory left fails the file (OutOfMemory below) instead.
            try {
                done.frame = quantizeFrame(fitToCanvas(job.image, canvas_));
            } catch (const std::bad_alloc &) {
                done.frame.reset();
            }
        }
        job.image = QImage();   // the picture goes as soon as its palette version exists
        std::lock_guard lock(mutex_);
        if (!failed && !done.frame && failure_ == Ok)
            failure_ = OutOfMemory;
        reduced_.emplace(job.sequence, std::move(done));
        changed_.notify_all();
    }
}

void GifWriter::writeLoop()
{
    for (;;) {
        Reduced next;
        bool write;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] {
                return reduced_.count(nextToWrite_) || (closing_ && inFlight_ == 0);
            });
            auto it = reduced_.find(nextToWrite_);
            if (it == reduced_.end())
                return;
            next = std::move(it->second);
            reduced_.erase(it);
            write = failure_ == Ok && next.frame;
        }
        const GpStatus status = write ? writeFrame(*next.frame, next.delayCs) : Ok;
        next.frame.reset();
        std::lock_guard lock(mutex_);
        if (status != Ok && failure_ == Ok)
            failure_ = status;
        ++nextToWrite_;
        --inFlight_;
        changed_.notify_all();
    }
}

GpStatus GifWriter::writeFrame(const IndexedFrame &frame, int delayCs)
{
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
    // Every frame covers the whole animation, so clearing it after its time only matters
    // when the next one has transparent pixels; then it keeps the old frame from showing.
    gcb.DisposalMode = DISPOSE_BACKGROUND;
    gcb.UserInputFlag = false;
    gcb.DelayTime = delayCs;
    gcb.TransparentColor = frame.transparentIndex;
    GifByteType ext[4];
    const size_t extLen = EGifGCBToExtension(&gcb, ext);
    // giflib masks the line in place, so it gets a copy it may change.
    std::vector<GifPixelType> line(frame.pixels.begin(), frame.pixels.end());
    if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, int(extLen), ext) == GIF_ERROR
        || EGifPutImageDesc(gif_, 0, 0, frame.width, frame.height, false, map.get()) == GIF_ERROR
        || EGifPutLine(gif_, line.data(), int(line.size())) == GIF_ERROR) {
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
    gif_ = nullptr;
    if (status == Ok && !closed)
        status = Win32Error;
    if (syncFd_ >= 0) {
        if (status == Ok && ::fsync(syncFd_) != 0 && errno != EINVAL)
            status = codecs::statusFromErrno(errno);
        ::close(syncFd_);
        syncFd_ = -1;
    }
    return status;
}

} // namespace platform::gif
