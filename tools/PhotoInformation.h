#pragma once
#include <QByteArray>
#include <QString>

namespace tools {

// The photo information of `source` (EXIF, XMP, IPTC, the ICC colour profile) put into the
// encoded picture `encoded` (JPEG, PNG or TIFF), which is returned. The pixels are written
// upright, so the orientation is reset to 1; the EXIF thumbnail shows the old picture and is
// dropped. Information that cannot be read or written (truncated, oversized, malformed) is
// left out piece by piece and named in `warning`; the picture is never refused for it.
QByteArray withPhotoInformation(const QByteArray &encoded, const QString &source, QString &warning);

} // namespace tools
