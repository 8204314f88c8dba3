#pragma once
#include <QByteArray>
#include <QImage>

// JPEGs of the kinds cameras, scanners and editors write, made with libjpeg itself so that a
// test or a fuzzing seed can have each coding choice the toolkit's writer does not offer
// (arithmetic coding, restart markers, CMYK), and EXIF segments built byte by byte.
// Needs only Qt's image classes and libjpeg: the fuzzing seed maker links it on its own.
namespace testsupport {

struct JpegKind {
    enum class Colour { YCbCr, Grey, Cmyk };
    Colour colour = Colour::YCbCr;
    bool progressive = false;
    bool arithmetic = false;    // arithmetic instead of Huffman coding
    int restartRows = 0;        // a restart marker every so many rows of blocks; 0 none
    bool subsampled = true;     // colour at half resolution both ways (4:2:0), else 4:4:4
    int quality = 90;
};

// `image` coded as a JPEG of that kind; empty when libjpeg refuses.
QByteArray jpegOfKind(const QImage &image, const JpegKind &kind = {});

// An EXIF (APP1) segment, marker and length included, little-endian: the orientation tag
// when `orientation` is not 0 and, when `thumbnail` is not empty, a second directory that
// holds it whole, as cameras store their preview. The thumbnail must leave the segment
// under 64 KB.
QByteArray exifSegment(int orientation, const QByteArray &thumbnail = {});

// `jpeg` with `segment` put straight after its start-of-image marker.
QByteArray withSegment(const QByteArray &jpeg, const QByteArray &segment);

} // namespace testsupport
