#pragma once
#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QString>

#include <functional>
#include <optional>

namespace platform::decoder {

// A colour JPEG decoded at its own size straight into its upright orientation (`turn`, from
// its EXIF orientation): the stored picture is read a band of rows at a time, so it is never
// held whole beside the upright one. The pixels and density are those Qt's reader gives and
// then turns. nullopt when the picture is not one this handles or libjpeg gives up on it:
// the caller reads it as before.
struct UprightJpeg {
    QImage image;
    bool damaged = false;   // a warning that means libjpeg filled in missing data
    QString message;        // that warning
};
std::optional<UprightJpeg> decodeJpegUpright(const QByteArray &bytes,
                                             QImageIOHandler::Transformations turn,
                                             const std::function<bool(const QString &)> &meansFiller);

// A colour JPEG decoded at `eighths`/8 of its stored size (1 to 8), as stored, straight into
// its image's rows: the pixels, density and colour space Qt's reader gives when asked for
// that size. nullopt as above, and for a picture with comments (the reader keeps them as the
// image's text).
std::optional<UprightJpeg> decodeJpegEighths(const QByteArray &bytes, int eighths,
                                             const std::function<bool(const QString &)> &meansFiller);

} // namespace platform::decoder
