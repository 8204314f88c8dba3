#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace tools {

// The photo information of `source` (EXIF, XMP, IPTC, the ICC colour profile) put into the
// encoded picture `encoded` (JPEG, PNG or TIFF), which is returned. The pixels are written
// upright, so the orientation is reset to 1; the EXIF thumbnail shows the old picture and is
// dropped. Information that cannot be read or written (truncated, oversized, malformed) is
// left out piece by piece and named in `warning`; the picture is never refused for it.
QByteArray withPhotoInformation(const QByteArray &encoded, const QString &source, QString &warning);

// The same information as blocks for an encoder that takes it while it encodes: the EXIF as
// a TIFF structure (little-endian), the XMP packet; upright and without the thumbnail and
// the camera's sizes, as above. Empty blocks for what the source does not hold or what cannot
// be read (named in `warning`).
struct PhotoInformationBlocks {
    QByteArray exif;
    QByteArray xmp;
};
PhotoInformationBlocks photoInformationBlocks(const QString &source, QString &warning);

// When a picture was taken, as its EXIF says it: DateTimeOriginal ("YYYY:MM:DD HH:MM:SS"),
// SubSecTimeOriginal (digits) and OffsetTimeOriginal ("+HH:MM"), each empty when absent.
// Only the headers are read (a JPEG up to its first scan); nothing when the file is no
// picture the library knows, a video, or holds no date.
struct CaptureStamp {
    QString dateTime;
    QString subSeconds;
    QString offset;
};
std::optional<CaptureStamp> readCaptureStamp(const QString &path);

} // namespace tools
