#pragma once
#include <QByteArray>
#include <QString>

namespace tools {

// A JPEG file made upright by its EXIF orientation and turned a quarter without decoding it
// (libjpeg-turbo's lossless transform), its markers left out. Empty when the operation cannot
// be perfect (a side that is not a whole number of the picture's blocks where the operation
// moves it) or when the file is no JPEG the library reads: the caller then decodes, turns and
// encodes instead.
QByteArray turnJpegLosslessly(const QString &path, bool clockwise);

} // namespace tools
