#pragma once
#include "platform/Formats.h"
#include "platform/Picture.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Pictures to file bytes, in memory: FreeImage (libheif for HEIC and AVIF) encodes what the
// tools drew, the photo
// information of the source goes in, and nothing touches the disk until the output is
// written whole (picture/Output.h).
namespace tools::picture {

// Photo information that goes into an output while it is encoded, for formats whose files
// cannot be given it afterwards (HEIC, AVIF): a TIFF-structured EXIF block and an XMP packet.
struct EmbeddedInformation {
    QByteArray exif;
    QByteArray xmp;
};

// True for a format whose photo information goes in while encoding (EmbeddedInformation),
// not after (withSourceInformation).
bool embedsInformation(const platform::formats::Format &format);

// `image` encoded as `format` (any format the table says Pixmar writes), 24 bits per pixel at
// 96 dpi, `quality` (1 to 100) for a format that has one. The image is consumed: its rows are
// packed in place for the encoder, so an image handed over as the only holder of its pixels is
// never copied. A 32-bit image with alpha keeps it where the format holds it. Throws
// platform::AppError (CannotWrite about `outputName`, with the encoder's reason) when it fails.
QByteArray encode(QImage image, const platform::formats::Format &format, int quality,
                  const QString &outputName, const EmbeddedInformation &embedded = {});
// The same for a picture of `size` whose rows `band(top, rows)` gives a band at a time (a
// picture turned as it is encoded): its pixels are held once, by the encoder.
QByteArray encode(QSize size, const platform::PictureBand &band,
                  const platform::formats::Format &format, int quality, const QString &outputName,
                  const EmbeddedInformation &embedded = {});

// The photo information of `source` put into `encoded` (a format that can hold it); what
// cannot be carried over is left out and logged against `outputName`.
QByteArray withSourceInformation(const QByteArray &encoded, const QString &source,
                                 const QString &outputName);

// The photo information of `source` to embed in an output (embedsInformation), upright and
// without the camera's thumbnail and sizes, as withSourceInformation puts it in other formats;
// what cannot be read is left out and logged against `outputName`.
EmbeddedInformation sourceInformationToEmbed(const QString &source, const QString &outputName);

// The reason FreeImage gave on this thread for its last failure.
QString lastEncoderMessage();

} // namespace tools::picture
