#include "platform/GdiPlusCodecs.h"
#include "platform/Decoder.h"
#include "platform/FreeImagePtr.h"

#include <FreeImage.h>
#include <QFile>
#include <QImageWriter>
#include <QLoggingCategory>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

Q_LOGGING_CATEGORY(lcCodecs, "pixmar.gdiplus.codecs", QtInfoMsg)

namespace platform::gdiplus::codecs {
namespace {

// The library's status for a failure the platform layer names by its kind.
GpStatus statusFor(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::FileNotFound:
    case ErrorKind::PathNotFound: return FileNotFound;
    case ErrorKind::PermissionDenied:
    case ErrorKind::NotAFile:
    case ErrorKind::CannotRead: return AccessDenied;
    case ErrorKind::OutOfMemory: return OutOfMemory;
    case ErrorKind::PictureTooLarge: return ValueOverflow;
    case ErrorKind::InvalidPicture:
    case ErrorKind::DamagedPicture:
    case ErrorKind::PictureCutShort: return UnknownImageFormat;
    default: return Win32Error;
    }
}

} // namespace

GpStatus statusFromErrno(int err) { return statusFor(kindForErrno(err, ErrorKind::CannotWrite)); }

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

Decoded decodeFile(const QString &path, QSize shown)
{
    Decoded out;
    decoder::Hints hints;
    if (shown.isValid())
        hints.shownPart = [shown](QSize) { return QRect(QPoint(0, 0), shown); };
    decoder::Decoded d = decoder::decode(path, hints);
    if (d.failure != decoder::Failure::None) {
        // The library answers a path it cannot open as it answers a bad parameter: the same
        // status its other calls give for a missing image, so a failed load leaves one
        // consistent last status.
        out.status = d.failure == decoder::Failure::Missing ? InvalidParameter
                                                            : statusFor(decoder::kindOf(d.failure));
        return out;
    }
    // Qt hands GIF frames over as 32-bit images; the file itself holds palette indexes.
    out.pixelFormat = d.format == "gif" ? PixelFormat8bppIndexed : pixelFormatOf(d.image);
    out.image = std::move(d.image);
    out.size = d.original;
    out.part = d.part;
    out.status = Ok;
    return out;
}

namespace {

GpStatus encodeTiff(const QImage &image, const QString &path)
{
    decoder::routeTiffMessages();
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
