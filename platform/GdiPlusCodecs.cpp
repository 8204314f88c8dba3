#include "platform/GdiPlusCodecs.h"
#include "platform/Limits.h"

#include <FreeImage.h>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QLoggingCategory>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <memory>

Q_LOGGING_CATEGORY(lcCodecs, "pixmar.gdiplus.codecs", QtInfoMsg)

namespace platform::gdiplus::codecs {
namespace {

struct FreeImageUnload {
    void operator()(FIBITMAP *b) const { if (b) FreeImage_Unload(b); }
};
using FreeImagePtr = std::unique_ptr<FIBITMAP, FreeImageUnload>;

bool sizeAllowed(qint64 w, qint64 h)
{
    return w > 0 && h > 0 && w <= limits::kMaxPictureSide && h <= limits::kMaxPictureSide
        && w * h <= limits::kMaxPicturePixels;
}

void raiseQtAllocationLimit()
{
    // Qt refuses pictures over 128 MB by default; our own limits decide instead.
    static const bool done = [] {
        if (QImageReader::allocationLimit() < limits::kDecoderAllocationLimitMB)
            QImageReader::setAllocationLimit(limits::kDecoderAllocationLimitMB);
        return true;
    }();
    Q_UNUSED(done);
}

// FreeImage reads every EXIF tag it knows of a TIFF file, and libtiff complains on standard
// error about each one it does not know. Those complaints go to our log instead. libtiff comes
// in with FreeImage; its development files are not needed for this one call.
void routeTiffMessages()
{
    static const bool done = [] {
        using Handler = void (*)(const char *, const char *, va_list);
        using SetHandler = Handler (*)(Handler);
        const Handler toLog = [](const char *module, const char *fmt, va_list ap) {
            char text[512];
            std::vsnprintf(text, sizeof text, fmt, ap);
            qCDebug(lcCodecs) << "libtiff:" << (module ? module : "") << text;
        };
        for (const char *name : {"TIFFSetErrorHandler", "TIFFSetWarningHandler"})
            if (auto set = reinterpret_cast<SetHandler>(::dlsym(RTLD_DEFAULT, name)))
                set(toLog);
        return true;
    }();
    Q_UNUSED(done);
}

bool looksLikeTiff(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(4);
    return head == QByteArray("II*\0", 4) || head == QByteArray("MM\0*", 4);
}

Decoded decodeTiff(const QString &path)
{
    routeTiffMessages();
    Decoded out;
    const QByteArray name = QFile::encodeName(path);
    FreeImagePtr header(FreeImage_Load(FIF_TIFF, name.constData(), FIF_LOAD_NOPIXELS));
    if (!header) {
        out.status = UnknownImageFormat;
        return out;
    }
    if (!sizeAllowed(FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get()))) {
        out.status = ValueOverflow;
        return out;
    }
    header.reset();
    FreeImagePtr full(FreeImage_Load(FIF_TIFF, name.constData(), TIFF_DEFAULT));
    if (!full || !FreeImage_HasPixels(full.get())) {
        out.status = UnknownImageFormat;
        return out;
    }
    const bool alpha = FreeImage_GetColorType(full.get()) == FIC_RGBALPHA
        || FreeImage_IsTransparent(full.get());
    FreeImagePtr bgra(FreeImage_ConvertTo32Bits(full.get()));
    if (!bgra) {
        out.status = OutOfMemory;
        return out;
    }
    const int w = int(FreeImage_GetWidth(bgra.get()));
    const int h = int(FreeImage_GetHeight(bgra.get()));
    QImage img(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (img.isNull()) {
        out.status = OutOfMemory;
        return out;
    }
    // FreeImage keeps rows bottom-up in blue-green-red-alpha order, which is the memory
    // layout of Qt's ARGB32 on little-endian machines.
    for (int y = 0; y < h; ++y) {
        const BYTE *src = FreeImage_GetScanLine(bgra.get(), h - 1 - y);
        std::memcpy(img.scanLine(y), src, size_t(w) * 4);
    }
    if (!alpha)
        img = std::move(img).convertToFormat(QImage::Format_RGB32);   // alpha byte forced to 0xFF
    out.pixelFormat = alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    out.image = std::move(img);
    out.rawFormat = ImageFormatTIFF;
    out.status = Ok;
    return out;
}

GUID rawFormatFor(const QByteArray &qtFormat)
{
    if (qtFormat == "jpeg" || qtFormat == "jpg")
        return ImageFormatJPEG;
    if (qtFormat == "png")
        return ImageFormatPNG;
    if (qtFormat == "gif")
        return ImageFormatGIF;
    if (qtFormat == "bmp" || qtFormat == "dib")
        return ImageFormatBMP;
    return GUID{};
}

} // namespace

GpStatus statusFromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return AccessDenied;
    case ENOMEM:
        return OutOfMemory;
    default:
        return Win32Error;
    }
}

PixelFormat pixelFormatOf(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return PixelFormat1bppIndexed;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8:
        return PixelFormat8bppIndexed;
    case QImage::Format_Grayscale16:
        return PixelFormat16bppGrayScale;
    case QImage::Format_RGB16:
        return PixelFormat16bppRGB565;
    case QImage::Format_RGB555:
        return PixelFormat16bppRGB555;
    case QImage::Format_ARGB32:
    case QImage::Format_RGBA8888:
        return PixelFormat32bppARGB;
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBA8888_Premultiplied:
        return PixelFormat32bppPARGB;
    case QImage::Format_RGBX64:
        return PixelFormat48bppRGB;
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        return PixelFormat64bppARGB;
    default:
        return image.hasAlphaChannel() ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    }
}

Decoded decodeFile(const QString &path)
{
    Decoded out;
    const QFileInfo info(path);
    if (!info.exists()) {
        // The library's answer for a path it cannot open: the same status its other calls
        // give for the missing image, so a failed load leaves one consistent last status.
        out.status = InvalidParameter;
        return out;
    }
    if (info.isDir() || !info.isReadable()) {
        out.status = AccessDenied;
        return out;
    }
    if (looksLikeTiff(path))
        return decodeTiff(path);

    raiseQtAllocationLimit();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        out.status = UnknownImageFormat;
        return out;
    }
    const QSize claimed = reader.size();
    if (claimed.isValid() && !sizeAllowed(claimed.width(), claimed.height())) {
        out.status = ValueOverflow;
        return out;
    }
    const QByteArray format = reader.format();
    QImage img;
    if (!reader.read(&img) || img.isNull()) {
        qCDebug(lcCodecs) << "cannot decode" << path << reader.errorString();
        out.status = UnknownImageFormat;
        return out;
    }
    if (!sizeAllowed(img.width(), img.height())) {
        out.status = ValueOverflow;
        return out;
    }
    out.rawFormat = rawFormatFor(format);
    // Qt hands GIF frames over as 32-bit images; the file itself holds palette indexes.
    out.pixelFormat = out.rawFormat == ImageFormatGIF ? PixelFormat8bppIndexed : pixelFormatOf(img);
    out.image = std::move(img);
    out.status = Ok;
    return out;
}

namespace {

GpStatus encodeTiff(const QImage &image, const QString &path)
{
    routeTiffMessages();
    const bool alpha = image.hasAlphaChannel();
    const QImage src = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    const int w = src.width(), h = src.height();
    FreeImagePtr dib(FreeImage_Allocate(w, h, alpha ? 32 : 24));
    if (!dib)
        return OutOfMemory;
    for (int y = 0; y < h; ++y) {
        BYTE *dst = FreeImage_GetScanLine(dib.get(), h - 1 - y);
        const uchar *row = src.constScanLine(y);
        if (alpha) {
            std::memcpy(dst, row, size_t(w) * 4);
        } else {
            // Qt's RGB888 is red-green-blue; FreeImage wants blue-green-red.
            for (int x = 0; x < w; ++x) {
                dst[3 * x + FI_RGBA_RED] = row[3 * x];
                dst[3 * x + FI_RGBA_GREEN] = row[3 * x + 1];
                dst[3 * x + FI_RGBA_BLUE] = row[3 * x + 2];
            }
        }
    }
    errno = 0;
    if (!FreeImage_Save(FIF_TIFF, dib.get(), QFile::encodeName(path).constData(), TIFF_LZW))
        return errno ? statusFromErrno(errno) : Win32Error;
    return Ok;
}

} // namespace

GpStatus encodeFile(const QImage &image, const QString &path, const GUID &format, int jpegQuality)
{
    if (image.isNull())
        return InvalidParameter;
    if (format == ImageFormatTIFF)
        return encodeTiff(image, path);

    const char *qtFormat = nullptr;
    QImage out = image;
    if (format == ImageFormatBMP) {
        qtFormat = "bmp";
        if (!out.hasAlphaChannel())
            out = out.convertToFormat(QImage::Format_RGB32);
    } else if (format == ImageFormatJPEG) {
        qtFormat = "jpeg";
        out = out.convertToFormat(QImage::Format_RGB32);
    } else if (format == ImageFormatPNG) {
        qtFormat = "png";
    } else {
        return InvalidParameter;
    }

    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return errno ? statusFromErrno(errno) : AccessDenied;
    QImageWriter writer(&file, qtFormat);
    if (format == ImageFormatJPEG)
        writer.setQuality(jpegQuality);
    if (!writer.write(out)) {
        qCWarning(lcCodecs) << "cannot write" << path << writer.errorString();
        return Win32Error;
    }
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return Win32Error;
    file.close();
    return file.error() == QFileDevice::NoError ? Ok : Win32Error;
}

} // namespace platform::gdiplus::codecs
