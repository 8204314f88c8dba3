#pragma once
#include "platform/GdiPlus.h"
#include <QImage>
#include <QRect>
#include <QString>

// The decoding and single-picture encoders behind the imaging library stand-in. Pictures are
// decoded by platform/Decoder.h, as the toolkit's own loader decodes them; BMP, JPEG and PNG
// are written with Qt's writers, TIFF with FreeImage, since Qt's TIFF plugin is not part of
// the base package.
namespace platform::gdiplus::codecs {

struct Decoded {
    GpStatus status = GenericError;
    QImage image;
    QSize size;   // the picture's own size (image may hold only a part of it)
    QRect part;   // where image lies in the picture
    PixelFormat pixelFormat = PixelFormatUndefined;
};

// Decodes the first picture of a file. Missing file: InvalidParameter; unreadable or not a
// regular file: AccessDenied; not a picture, broken or damaged: UnknownImageFormat; a size beyond platform/Limits.h: ValueOverflow.
// With `shown` valid, only the top-left part of that size is decoded.
Decoded decodeFile(const QString &path, QSize shown = {});

// The pixel format the library reports for a decoded image.
PixelFormat pixelFormatOf(const QImage &image);

// Writes one picture. `format` is one of the ImageFormat ids (not GIF, see GifEncoder.h);
// `jpegQuality` 0 to 100.
GpStatus encodeFile(const QImage &image, const QString &path, const GUID &format, int jpegQuality);

// The status for a failed file operation (errno value).
GpStatus statusFromErrno(int err);

} // namespace platform::gdiplus::codecs
