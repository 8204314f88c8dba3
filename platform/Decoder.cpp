#include "platform/Decoder.h"
#include "platform/SmoothScale.h"
#include "platform/UprightJpeg.h"
#include "platform/Limits.h"
#include "platform/FreeImagePtr.h"
#include "platform/PixelPool.h"

#include <FreeImage.h>
#include <QColorSpace>
#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>
#include <libheif/heif.h>
#include <QLoggingCategory>
#include <QTransform>
#include <QtEndian>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcDecoder, "pixmar.decoder", QtInfoMsg)

namespace platform::decoder {
namespace {

// ---------------------------------------------------------------- opening

// Why a name could not be looked at or opened, from the system's errno `e`.
Failure openFailure(int e, QString &reason)
{
    reason = QString::fromLocal8Bit(std::strerror(e));
    switch (kindForErrno(e, ErrorKind::CannotRead)) {
    case ErrorKind::FileNotFound:
    case ErrorKind::PathNotFound: return Failure::Missing;
    case ErrorKind::NotAFile: return Failure::NotAFile;
    case ErrorKind::OutOfMemory: return Failure::OutOfMemory;
    default: return Failure::Unreadable;
    }
}

// Anything but a regular file is refused before it is opened for reading: opening a FIFO
// blocks until a writer comes, and a device may do anything. The file is opened without
// blocking and checked again, in case the name was replaced in between.
Failure openRegular(const QString &path, QFile &file, QString &reason)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return openFailure(errno, reason);
    if (!S_ISREG(st.st_mode)) {
        reason = QStringLiteral("not a regular file");
        return Failure::NotAFile;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return openFailure(errno, reason);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        reason = QStringLiteral("not a regular file");
        return Failure::NotAFile;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        reason = file.errorString();
        return Failure::Unreadable;
    }
    return Failure::None;
}

// ---------------------------------------------------------------- structure checks

// Reads a device forward in blocks, for walks that look at every byte.
class ByteScanner {
public:
    explicit ByteScanner(QIODevice &d) : d_(d) {}
    int next()
    {
        if (at_ == buf_.size() && !refill())
            return -1;
        return static_cast<unsigned char>(buf_[at_++]);
    }
    // Moves past the next 0xFF byte; false when there is none.
    bool pastNextFF()
    {
        for (;;) {
            const char *from = buf_.constData() + at_;
            if (const void *ff = std::memchr(from, 0xFF, size_t(buf_.size() - at_))) {
                at_ += static_cast<const char *>(ff) - from + 1;
                return true;
            }
            if (!refill())
                return false;
        }
    }
    bool skip(qint64 n)
    {
        const qint64 inBuffer = buf_.size() - at_;
        if (n <= inBuffer) {
            at_ += n;
            return true;
        }
        const qint64 target = d_.pos() + (n - inBuffer);
        buf_.clear();
        at_ = 0;
        return target <= d_.size() && d_.seek(target);
    }

private:
    bool refill()
    {
        buf_ = d_.read(kBlock);
        at_ = 0;
        return !buf_.isEmpty();
    }
    static constexpr qint64 kBlock = 64 * 1024;
    QIODevice &d_;
    QByteArray buf_;
    qsizetype at_ = 0;
};

// Follows a JPEG from its start marker through its segments and entropy-coded data to its
// end marker. Whatever follows the end marker (phones append a whole video there) is not
// looked at. False when the file ends first: the decoder would make up the rest in grey.
bool jpegReachesEnd(QIODevice &d)
{
    ByteScanner s(d);
    if (s.next() != 0xFF || s.next() != 0xD8)
        return false;
    for (;;) {
        // Past entropy-coded data, or stray bytes between segments, to the next marker.
        if (!s.pastNextFF())
            return false;
        int b = s.next();
        while (b == 0xFF)   // fill bytes before a marker
            b = s.next();
        if (b < 0)
            return false;
        if (b == 0x00 || (b >= 0xD0 && b <= 0xD7) || b == 0x01 || b == 0xD8)
            continue;                 // stuffed byte, restart marker: no segment follows
        if (b == 0xD9)
            return true;
        const int hi = s.next(), lo = s.next();
        if (hi < 0 || lo < 0)
            return false;
        const int length = (hi << 8) | lo;
        // A segment's own bytes may hold anything (an embedded thumbnail's end marker among
        // them), so they are skipped by their length, never scanned.
        if (length < 2 || !s.skip(length - 2))
            return false;
    }
}

// A bitmap's header says where its pixels start and, for uncompressed ones, how many bytes
// they take. Qt reads a bitmap that ends early, or whose pixels would start past its end,
// without a word and fills the rest with black. Gives why the pixels are not all there, or
// nothing when they are (or when it cannot tell).
QString bitmapDataMissing(QIODevice &d)
{
    const QByteArray h = d.read(54);
    if (h.size() < 26 || !h.startsWith("BM"))
        return {};   // not for this check to judge: the reader refuses it or not
    const auto u16 = [&h](int at) { return qFromLittleEndian<quint16>(h.constData() + at); };
    const auto u32 = [&h](int at) { return qFromLittleEndian<quint32>(h.constData() + at); };
    const qint64 size = d.size();
    const qint64 dataStart = u32(10);
    const quint32 infoSize = u32(14);
    qint64 width = 0, height = 0;
    int bits = 0;
    quint32 compression = 0;
    if (infoSize == 12) {
        width = u16(18);
        height = u16(20);
        bits = u16(24);
    } else if (infoSize >= 40 && h.size() >= 34) {
        width = qFromLittleEndian<qint32>(h.constData() + 18);
        height = qFromLittleEndian<qint32>(h.constData() + 22);
        bits = u16(28);
        compression = u32(30);
    } else {
        return {};
    }
    if (dataStart >= size)
        return QStringLiteral("its pixel data would start past its end");
    constexpr quint32 kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
    if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields)
        return {};   // run-length and embedded formats: their length is not known up front
    // Compared by division: a hostile header's rows times its height overflow 64 bits.
    const qint64 rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    if (rowBytes > 0 && std::abs(height) > (size - dataStart) / rowBytes)
        return QStringLiteral("the file ends before its pixel data does");
    return {};
}

struct PngHeader {
    int bitDepth = 0;
    int colourType = -1;
    bool transparentColour = false;   // a tRNS chunk before the pixel data
};

// The IHDR fields and whether a tRNS chunk comes before the first IDAT.
PngHeader readPngHeader(QIODevice &d)
{
    PngHeader p;
    const QByteArray sig = d.read(8);
    if (sig != QByteArray("\x89PNG\r\n\x1a\n", 8))
        return p;
    for (int chunks = 0; chunks < 64; ++chunks) {
        const QByteArray head = d.read(8);
        if (head.size() < 8)
            break;
        const quint32 length = qFromBigEndian<quint32>(head.constData());
        const QByteArray type = head.mid(4, 4);
        if (type == "IHDR" && length >= 13) {
            const QByteArray ihdr = d.read(13);
            if (ihdr.size() < 13)
                break;
            p.bitDepth = static_cast<unsigned char>(ihdr[8]);
            p.colourType = static_cast<unsigned char>(ihdr[9]);
            if (!d.seek(d.pos() + (length - 13) + 4))
                break;
            continue;
        }
        if (type == "IDAT" || type == "IEND")
            break;
        if (type == "tRNS")
            p.transparentColour = true;
        if (!d.seek(d.pos() + qint64(length) + 4))
            break;
    }
    return p;
}

// Qt 6.4's PNG reader garbles 16-bit truecolour pictures whose transparency is a tRNS colour
// (stripes, wrong layout, no transparency); every other PNG it reads correctly.
bool qtMisreadsPng(const PngHeader &p)
{
    constexpr int kTruecolour = 2;
    return p.bitDepth == 16 && p.colourType == kTruecolour && p.transparentColour;
}

// ---------------------------------------------------------------- libjpeg's own signal

// libjpeg completes a picture whose entropy-coded data ends early (cut short, or cut with an
// end marker put back) with grey, and says so only in a warning, which Qt passes to its log.
// Such a warning during a decode marks the picture as damaged.
class JpegFillerWatch {
public:
    // The handler is Qt's one process-wide slot, while decodes run on several threads at once
    // (the workers of a bulk run): the first watch puts it in, the last takes it out, and each
    // thread keeps its own watch.
    JpegFillerWatch()
    {
        const std::lock_guard lock(mutex_);
        if (watches_++ == 0)
            previous_ = qInstallMessageHandler(&handler);
        active_ = this;
    }
    ~JpegFillerWatch()
    {
        const std::lock_guard lock(mutex_);
        active_ = nullptr;
        if (--watches_ == 0)
            qInstallMessageHandler(previous_);
    }
    JpegFillerWatch(const JpegFillerWatch &) = delete;
    JpegFillerWatch &operator=(const JpegFillerWatch &) = delete;
    bool filled() const { return filled_; }
    const QString &message() const { return message_; }

    static bool meansFiller(const QString &m)
    {
        for (const char *text : {"premature end", "bad Huffman code", "bad arithmetic code",
                                 "instead of RST"})
            if (m.contains(QLatin1String(text), Qt::CaseInsensitive))
                return true;
        return false;
    }
private:
    // Other threads (the GIF writer's) may log meanwhile: their messages go on to the handler
    // that was there before, and only the decoding thread's JPEG warnings are kept.
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
    {
        JpegFillerWatch *w = active_;
        if (w && context.category && std::strcmp(context.category, "qt.gui.imageio.jpeg") == 0
            && meansFiller(msg)) {
            w->filled_ = true;
            w->message_ = msg;
            return;   // reported as the file's error instead
        }
        if (const QtMessageHandler previous = previous_)
            previous(type, context, msg);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, msg)));
    }

    static inline std::mutex mutex_;
    static inline int watches_ = 0;
    static inline std::atomic<QtMessageHandler> previous_ = nullptr;
    static inline thread_local JpegFillerWatch *active_ = nullptr;
    bool filled_ = false;
    QString message_;
};

} // namespace

// libtiff comes in with FreeImage; its development files are not needed for this one call.
void routeTiffMessages()
{
    static const bool done = [] {
        using Handler = void (*)(const char *, const char *, va_list);
        using SetHandler = Handler (*)(Handler);
        const Handler toLog = [](const char *module, const char *fmt, va_list ap) {
            char text[512];
            std::vsnprintf(text, sizeof text, fmt, ap);
            qCDebug(lcDecoder) << "libtiff:" << (module ? module : "") << text;
        };
        for (const char *name : {"TIFFSetErrorHandler", "TIFFSetWarningHandler"})
            if (auto set = reinterpret_cast<SetHandler>(::dlsym(RTLD_DEFAULT, name)))
                set(toLog);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

// FreeImage reads through the file already opened (and checked) here, not by name.
FreeImageIO deviceIO()
{
    FreeImageIO io{};
    io.read_proc = [](void *buffer, unsigned size, unsigned count, fi_handle h) -> unsigned {
        auto *d = static_cast<QIODevice *>(h);
        if (size == 0)
            return 0;
        const qint64 got = d->read(static_cast<char *>(buffer), qint64(size) * count);
        return got <= 0 ? 0u : unsigned(got / size);
    };
    io.write_proc = [](void *, unsigned, unsigned, fi_handle) -> unsigned { return 0; };
    io.seek_proc = [](fi_handle h, long offset, int origin) -> int {
        auto *d = static_cast<QIODevice *>(h);
        const qint64 base = origin == SEEK_CUR ? d->pos() : origin == SEEK_END ? d->size() : 0;
        return d->seek(base + offset) ? 0 : -1;
    };
    io.tell_proc = [](fi_handle h) -> long { return long(static_cast<QIODevice *>(h)->pos()); };
    return io;
}

// The orientation tag of a TIFF's first directory: 1 to 8, or 0 without a valid one.
// FreeImage reads the tag but keeps it from its metadata, so it is read here.
int tiffOrientation(QIODevice &d)
{
    d.seek(0);
    const QByteArray head = d.read(8);
    if (head.size() < 8)
        return 0;
    const bool little = head.startsWith("II");
    auto u16 = [little](const char *p) { return little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p); };
    auto u32 = [little](const char *p) { return little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p); };
    if (!d.seek(u32(head.constData() + 4)))
        return 0;
    const QByteArray count = d.read(2);
    if (count.size() < 2)
        return 0;
    constexpr int kEntryBytes = 12;
    const QByteArray entries = d.read(qint64(u16(count.constData())) * kEntryBytes);
    constexpr quint16 kOrientation = 0x0112, kShort = 3;
    for (qsizetype at = 0; at + kEntryBytes <= entries.size(); at += kEntryBytes) {
        const char *e = entries.constData() + at;
        if (u16(e) != kOrientation)
            continue;
        if (u16(e + 2) != kShort || u32(e + 4) != 1)
            return 0;
        const int value = u16(e + 8);
        return value >= 1 && value <= 8 ? value : 0;
    }
    return 0;
}

// The stored picture turned upright by its EXIF orientation (2 to 8), as the JPEG reader
// turns its pictures.
QImage upright(const QImage &stored, int orientation)
{
    const QTransform clockwise = QTransform().rotate(90);
    switch (orientation) {
    case 2: return stored.mirrored(true, false);
    case 3: return stored.mirrored(true, true);
    case 4: return stored.mirrored(false, true);
    case 5: return stored.transformed(clockwise).mirrored(true, false);    // transposed
    case 6: return stored.transformed(clockwise);
    case 7: return stored.transformed(clockwise).mirrored(false, true);    // transversed
    case 8: return stored.transformed(QTransform().rotate(-90));
    default: return stored;
    }
}

// Decodes into `out` as stored; gives the picture's EXIF orientation (0 without one).
int decodeWithFreeImage(QFile &file, FREE_IMAGE_FORMAT fif, Decoded &out)
{
    int orientation = 0;
    routeTiffMessages();
    FreeImageIO io = deviceIO();
    file.seek(0);
    FreeImagePtr header(FreeImage_LoadFromHandle(fif, &io, &file, FIF_LOAD_NOPIXELS));
    if (!header) {
        out.failure = Failure::NotPicture;
        return 0;
    }
    out.original = QSize(int(FreeImage_GetWidth(header.get())), int(FreeImage_GetHeight(header.get())));
    if (!sizeAllowed(FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get()))) {
        out.failure = Failure::TooLarge;
        return 0;
    }
    header.reset();
    file.seek(0);
    FreeImagePtr full(FreeImage_LoadFromHandle(fif, &io, &file, 0));
    if (!full || !FreeImage_HasPixels(full.get())) {
        out.failure = Failure::NotPicture;
        return 0;
    }
    const int w = int(FreeImage_GetWidth(full.get()));
    const int h = int(FreeImage_GetHeight(full.get()));
    // A camera's TIFF says in its orientation how to turn it, as its JPEG does; an invalid
    // value is ignored.
    if (fif == FIF_TIFF)
        orientation = tiffOrientation(file);
    if (FreeImage_GetImageType(full.get()) == FIT_RGBA16) {
        // Sixteen bits a channel in red, green, blue, alpha order, as Qt keeps them.
        QImage img(w, h, QImage::Format_RGBA64);
        if (img.isNull()) {
            out.failure = Failure::OutOfMemory;
            return 0;
        }
        for (int y = 0; y < h; ++y)
            std::memcpy(img.scanLine(y), FreeImage_GetScanLine(full.get(), h - 1 - y), size_t(w) * 8);
        out.image = std::move(img);
        return orientation;
    }
    const bool alpha = FreeImage_GetColorType(full.get()) == FIC_RGBALPHA
        || FreeImage_IsTransparent(full.get());
    QImage img(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (img.isNull()) {
        out.failure = Failure::OutOfMemory;
        return 0;
    }
    // Converted a band of rows at a time, so that a large picture is not held whole a third
    // time. FreeImage keeps rows bottom-up in blue-green-red-alpha order, which is the memory
    // layout of Qt's ARGB32 on little-endian machines.
    constexpr int kBandRows = 256;
    for (int top = 0; top < h; top += kBandRows) {
        const int rows = std::min(kBandRows, h - top);
        FreeImagePtr band(FreeImage_Copy(full.get(), 0, top, w, top + rows));
        FreeImagePtr bgra(band ? FreeImage_ConvertTo32Bits(band.get()) : nullptr);
        if (!bgra) {
            out.failure = Failure::OutOfMemory;
            return 0;
        }
        for (int r = 0; r < rows; ++r)
            std::memcpy(img.scanLine(top + r), FreeImage_GetScanLine(bgra.get(), rows - 1 - r), size_t(w) * 4);
    }
    if (!alpha)
        img = std::move(img).convertToFormat(QImage::Format_RGB32);   // alpha byte forced to 0xFF
    out.image = std::move(img);
    return orientation;
}

// Turns what decodeWithFreeImage gave upright, its own size with it.
void turnUpright(Decoded &out, int orientation)
{
    if (out.failure != Failure::None || orientation < 2)
        return;
    out.image = upright(out.image, orientation);
    if (orientation >= 5)
        out.original = out.original.transposed();
}

// ---------------------------------------------------------------- hints

// A drawn size worth decoding at: strictly smaller than the picture on both sides.
QSize reducedSize(const Hints &hints, QSize original)
{
    if (!hints.drawnSize || !original.isValid())
        return {};
    const QSize target = hints.drawnSize(original);
    if (target.isValid() && !target.isEmpty() && target.width() < original.width()
        && target.height() < original.height())
        return target;
    return {};
}

QRect shownPart(const Hints &hints, QSize original)
{
    if (!hints.shownPart || !original.isValid())
        return {};
    const QRect part = hints.shownPart(original).intersected(QRect(QPoint(0, 0), original));
    return part.isEmpty() || part.size() == original ? QRect() : part;
}

void ensureAllocationLimit()
{
    // Qt refuses pictures over 128 MB by default; our own limits decide instead.
    static const bool done = [] {
        if (QImageReader::allocationLimit() < limits::kDecoderAllocationLimitMB)
            QImageReader::setAllocationLimit(limits::kDecoderAllocationLimitMB);
        return true;
    }();
    Q_UNUSED(done);
}

// Decoders that do not reduce or cut while decoding get their result reduced or cut after,
// the way Qt's reader treats its own decoders that cannot.
void applyHintsAfter(const Hints &hints, Decoded &out)
{
    if (const QSize target = reducedSize(hints, out.original); target.isValid())
        out.image = smoothScaled(out.image, target);
    else if (const QRect part = shownPart(hints, out.original); part.isValid()) {
        out.image = out.image.copy(part);
        out.part = part;
    }
}

// The eighths of its size the JPEG reader decodes a stored picture at when asked for
// `wanted`: the fewest (at least one) that reach it both ways.
int jpegEighths(QSize stored, QSize wanted)
{
    const double f = std::min(double(stored.width()) / wanted.width(),
                              double(stored.height()) / wanted.height());
    return std::clamp(int(std::ceil(8 / f)), 1, 8);
}

// That size, rounded up as the decoder rounds.
QSize inEighths(QSize stored, int eighths)
{
    return QSize(int((qint64(stored.width()) * eighths + 7) / 8),
                 int((qint64(stored.height()) * eighths + 7) / 8));
}

// The EXIF orientation that the reader's turn stands for.
int exifOrientation(QImageIOHandler::Transformations turn)
{
    using T = QImageIOHandler;
    switch (int(turn)) {
    case T::TransformationMirror: return 2;
    case T::TransformationRotate180: return 3;
    case T::TransformationFlip: return 4;
    case T::TransformationFlipAndRotate90: return 5;
    case T::TransformationRotate90: return 6;
    case T::TransformationMirrorAndRotate90: return 7;
    case T::TransformationRotate270: return 8;
    default: return 1;
    }
}

bool startsWith(QFile &file, const QByteArray &magic)
{
    file.seek(0);
    return file.peek(magic.size()) == magic;
}

// HEIF holds HEIC and AVIF alike: an "ftyp" box first, its brand naming the kind.
bool isHeif(QFile &file)
{
    file.seek(0);
    const QByteArray head = file.read(12);
    static const QList<QByteArray> brands = {"heic", "heix", "hevc", "hevx", "heim", "heis",
                                             "mif1", "msf1", "avif", "avis"};
    return head.size() == 12 && head.mid(4, 4) == "ftyp" && brands.contains(head.mid(8, 4));
}

// The colours a HEIF picture's own profile gives its pixels: an ICC profile, or the primaries
// and transfer its nclx box names (a phone's Display P3). Invalid (nothing to convert) for
// sRGB, for none, and for what Qt cannot express (HDR transfers): those are shown as they are.
QColorSpace heifColourSpace(const heif_image_handle *handle)
{
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        QByteArray icc(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), Qt::Uninitialized);
        if (icc.isEmpty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
            return {};
        return QColorSpace::fromIccProfile(icc);
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx *nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
            return {};
        const std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx *)> owned(
            nclx, heif_nclx_color_profile_free);
        const bool srgbPrimaries = nclx->color_primaries == heif_color_primaries_ITU_R_BT_709_5
            || nclx->color_primaries == heif_color_primaries_unspecified;
        if (srgbPrimaries)
            return {};
        QColorSpace::TransferFunction transfer;
        switch (nclx->transfer_characteristics) {
        case heif_transfer_characteristic_IEC_61966_2_1:
        case heif_transfer_characteristic_unspecified:
        // Cameras label their sRGB-like curve as the broadcast one's.
        case heif_transfer_characteristic_ITU_R_BT_709_5:
        case heif_transfer_characteristic_ITU_R_BT_601_6:
        case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
        case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit:
            transfer = QColorSpace::TransferFunction::SRgb;
            break;
        default:
            return {};
        }
        const auto point = [](float x, float y) { return QPointF(x, y); };
        return QColorSpace(point(nclx->color_primary_white_x, nclx->color_primary_white_y),
                           point(nclx->color_primary_red_x, nclx->color_primary_red_y),
                           point(nclx->color_primary_green_x, nclx->color_primary_green_y),
                           point(nclx->color_primary_blue_x, nclx->color_primary_blue_y), transfer);
    }
    default:
        return {};
    }
}

// Everything after the decoder draws and writes sRGB: a picture in another space is converted
// once, here, so that a wide-gamut photo does not come out dull.
void toSrgb(QImage &image, const QColorSpace &space)
{
    static const QColorSpace srgb(QColorSpace::SRgb);
    if (!space.isValid() || space == srgb)
        return;
    image.setColorSpace(space);
    image.convertToColorSpace(srgb);
    image.setColorSpace(QColorSpace());
}

// libheif reads the file from memory, checks the size its header claims before anything is
// decoded, and hands the picture over upright (its rotation and mirroring applied).
void decodeWithHeif(QFile &file, Decoded &out)
{
    out.format = "heif";
    file.seek(0);
    const QByteArray data = file.readAll();
    heif_context *context = heif_context_alloc();
    heif_image_handle *handle = nullptr;
    heif_image *image = nullptr;
    const struct Release {
        heif_context *&c;
        heif_image_handle *&h;
        heif_image *&i;
        ~Release()
        {
            if (i)
                heif_image_release(i);
            if (h)
                heif_image_handle_release(h);
            heif_context_free(c);
        }
    } release{context, handle, image};
    heif_context_set_maximum_image_size_limit(context, limits::kMaxPictureSide);
    heif_error e = heif_context_read_from_memory_without_copy(context, data.constData(), size_t(data.size()), nullptr);
    if (e.code == heif_error_Ok)
        e = heif_context_get_primary_image_handle(context, &handle);
    if (e.code != heif_error_Ok) {
        out.failure = e.code == heif_error_Memory_allocation_error ? Failure::TooLarge : Failure::NotPicture;
        out.reason = QString::fromUtf8(e.message).trimmed();
        return;
    }
    out.original = QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
    if (!out.original.isValid() || !sizeAllowed(out.original.width(), out.original.height())) {
        out.failure = Failure::TooLarge;
        return;
    }
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    e = heif_decode_image(handle, &image, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
    if (e.code != heif_error_Ok) {
        out.failure = e.code == heif_error_Memory_allocation_error ? Failure::OutOfMemory : Failure::Damaged;
        out.reason = QString::fromUtf8(e.message).trimmed();
        return;
    }
    int stride = 0;
    const uint8_t *pixels = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(image, heif_channel_interleaved);
    const int h = heif_image_get_height(image, heif_channel_interleaved);
    if (!pixels || w <= 0 || h <= 0) {
        out.failure = Failure::Damaged;
        return;
    }
    out.image = QImage(pixels, w, h, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888)
                    .convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.image.isNull()) {
        out.failure = Failure::OutOfMemory;
        return;
    }
    toSrgb(out.image, heifColourSpace(handle));
    out.original = out.image.size();
    out.part = out.image.rect();
}

void decodeFile(QFile &file, const Hints &hints, Decoded &out)
{
    if (isHeif(file)) {
        decodeWithHeif(file, out);
        if (out.failure == Failure::None)
            applyHintsAfter(hints, out);
        return;
    }
    if (startsWith(file, QByteArray("II*\0", 4)) || startsWith(file, QByteArray("MM\0*", 4))) {
        out.format = "tiff";
        turnUpright(out, decodeWithFreeImage(file, FIF_TIFF, out));
        if (out.failure == Failure::None)
            applyHintsAfter(hints, out);
        return;
    }
    file.seek(0);
    if (qtMisreadsPng(readPngHeader(file))) {
        out.format = "png";
        decodeWithFreeImage(file, FIF_PNG, out);
        if (out.failure == Failure::None)
            applyHintsAfter(hints, out);
        return;
    }

    ensureAllocationLimit();
    file.seek(0);
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        out.failure = Failure::NotPicture;
        return;
    }
    out.format = reader.format();
    // A camera stores a photo as its sensor saw it and says in its EXIF orientation how to
    // turn it; everything after the decoder sees the picture upright, at its upright size.
    // Qt's reader ignores an orientation value outside 1-8.
    const QImageIOHandler::Transformations turn = reader.transformation();
    const bool turned = turn != QImageIOHandler::TransformationNone;
    const bool sidesSwap = turn & QImageIOHandler::TransformationRotate90;
    const QSize stored = reader.size();
    out.original = sidesSwap ? stored.transposed() : stored;
    if (out.original.isValid() && !sizeAllowed(out.original.width(), out.original.height())) {
        out.failure = Failure::TooLarge;
        return;
    }
    const bool jpeg = out.format == "jpeg" || out.format == "jpg";
    const qint64 readerAt = file.pos();
    if (jpeg) {
        file.seek(0);
        if (!jpegReachesEnd(file)) {
            out.failure = Failure::CutShort;
            out.reason = QStringLiteral("the file ends before its end-of-image marker");
            return;
        }
    } else if (out.format == "bmp" || out.format == "dib") {
        file.seek(0);
        out.reason = bitmapDataMissing(file);
        if (!out.reason.isEmpty()) {
            out.failure = Failure::CutShort;
            return;
        }
    }
    file.seek(readerAt);

    QRect partAfterTurn;
    QSize reduceAfter;
    int eighths = 0;
    if (const QSize target = reducedSize(hints, out.original); target.isValid()) {
        // The reader scales before it turns: the size it is given is the stored one.
        const QSize wanted = sidesSwap ? target.transposed() : target;
        reader.setScaledSize(wanted);
        // A JPEG is decoded in eighths and then smoothed down to the size asked for; asked
        // for the eighths themselves, the reader leaves the smoothing to our faster scaler.
        if (jpeg && stored.isValid()) {
            const int n = jpegEighths(stored, wanted);
            const QSize decoded = inEighths(stored, n);
            if (decoded != wanted && jpegEighths(stored, decoded) == n) {
                reader.setScaledSize(decoded);
                reduceAfter = wanted;
                eighths = n;
            }
        }
    } else if (const QRect part = shownPart(hints, out.original); part.isValid() && turned) {
        // The shown part is in upright pixels; a turned picture is decoded whole and cut after.
        partAfterTurn = part;
    } else if (part.isValid()) {
        // A margin beyond the shown part keeps the decoder's smoothing at the cut out of it.
        constexpr int kMargin = 16;
        const QRect clip = part.adjusted(0, 0, kMargin, kMargin)
                               .intersected(QRect(QPoint(0, 0), out.original));
        reader.setClipRect(clip);
        out.part = part;
    }
    // One of the decodes made with libjpeg itself, from the whole file: false when it leaves
    // the picture to the reader, true with the image or with the damage in `out`.
    auto byLibjpeg = [&](QImage &image, auto decode) {
        file.seek(0);
        if (auto decoded = decode(file.readAll())) {
            if (decoded->damaged) {
                out.failure = Failure::Damaged;
                out.reason = decoded->message;
            } else {
                image = std::move(decoded->image);
            }
            return true;
        }
        file.seek(readerAt);
        return false;
    };
    if (jpeg && turned && !reader.scaledSize().isValid() && !partAfterTurn.isValid() && !out.part.isValid()) {
        // A photo stored sideways, wanted whole: turned as it is read, so that it is never
        // held twice.
        if (byLibjpeg(out.image, [&](const QByteArray &bytes) {
                return decodeJpegUpright(bytes, turn, &JpegFillerWatch::meansFiller);
            }))
            return;
    }
    // A picture still to be reduced is turned after that, as the reader would have.
    reader.setAutoTransform(turned && !reduceAfter.isValid());
    QImage img;
    // Read whole and as stored, the picture goes into a block the last one left behind.
    if (!turned && !reader.scaledSize().isValid() && !out.part.isValid() && stored.isValid())
        img = pixelpool::image(stored, reader.imageFormat());
    // A colour photo goes straight from libjpeg into its rows, as the reader would decode it.
    const bool read = eighths && byLibjpeg(img, [&](const QByteArray &bytes) {
        return decodeJpegEighths(bytes, eighths, &JpegFillerWatch::meansFiller);
    });
    if (out.failure != Failure::None)
        return;
    if (!read) {
        std::optional<JpegFillerWatch> watch;
        if (jpeg)
            watch.emplace();
        const bool ok = reader.read(&img);
        if (watch && watch->filled()) {
            out.failure = Failure::Damaged;
            out.reason = watch->message();
            return;
        }
        if (!ok || img.isNull()) {
            out.failure = Failure::NotPicture;
            out.reason = reader.errorString();
            return;
        }
    }
    if (reduceAfter.isValid()) {
        img = smoothScaled(img, reduceAfter);
        if (turned)
            img = upright(img, exifOrientation(turn));
    }
    if (partAfterTurn.isValid()) {
        img = img.copy(partAfterTurn);
        out.part = partAfterTurn;
    } else if (out.part.isValid() && img.size() != out.part.size()) {
        img = img.copy(QRect(QPoint(0, 0), out.part.size()));
    }
    out.image = std::move(img);
}

} // namespace

bool sizeAllowed(qint64 w, qint64 h)
{
    return w > 0 && h > 0 && w <= limits::kMaxPictureSide && h <= limits::kMaxPictureSide
        && w * h <= limits::kMaxPicturePixels;
}

Decoded decode(const QString &path, const Hints &hints)
{
    Decoded out;
    QFile file;
    out.failure = openRegular(path, file, out.reason);
    if (out.failure != Failure::None)
        return out;
    decodeFile(file, hints, out);
    if (out.failure == Failure::None) {
        if (!out.original.isValid())
            out.original = out.image.size();
        if (!out.part.isValid())
            out.part = QRect(QPoint(0, 0), out.original);
        if (!sizeAllowed(out.image.width(), out.image.height()))
            out.failure = Failure::TooLarge;
    }
    if (out.failure != Failure::None) {
        out.image = QImage();
        qCDebug(lcDecoder) << "cannot decode" << path << out.reason;
    }
    return out;
}

ErrorKind kindOf(Failure failure)
{
    switch (failure) {
    case Failure::Missing: return ErrorKind::FileNotFound;
    case Failure::NotAFile: return ErrorKind::NotAFile;
    case Failure::Unreadable: return ErrorKind::CannotRead;
    case Failure::TooLarge: return ErrorKind::PictureTooLarge;
    case Failure::Damaged: return ErrorKind::DamagedPicture;
    case Failure::CutShort: return ErrorKind::PictureCutShort;
    case Failure::OutOfMemory: return ErrorKind::OutOfMemory;
    case Failure::None:
    case Failure::NotPicture: break;
    }
    return ErrorKind::InvalidPicture;
}

AppError errorOf(const Decoded &d, const QString &path, const QString &source)
{
    const ErrorKind kind = kindOf(d.failure);
    switch (kind) {
    case ErrorKind::PictureTooLarge:
        return AppError(kind, {path, QString::number(d.original.width()), QString::number(d.original.height())},
                        {}, source);
    // The kind says all there is to say (a file cut short says so in the user's language).
    case ErrorKind::FileNotFound:
    case ErrorKind::NotAFile:
    case ErrorKind::OutOfMemory:
    case ErrorKind::PictureCutShort:
        return AppError(kind, {path}, {}, source);
    default:
        return AppError(kind, {path}, d.reason, source);
    }
}

} // namespace platform::decoder
