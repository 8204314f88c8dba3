#pragma once
#include <QByteArray>
#include <QString>

namespace tools {

// A JPEG file turned a quarter without decoding it (libjpeg-turbo's lossless transform), its
// markers left out. Empty when the turn cannot be perfect (a side that is not a whole number
// of the picture's blocks), when the file is no JPEG the library reads, or when it carries an
// EXIF orientation: the caller then decodes, turns and encodes instead.
QByteArray turnJpegLosslessly(const QString &path, bool clockwise);

} // namespace tools
