#include "support/JpegSamples.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace testsupport {
namespace {

struct Failure {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// The row `y` of `image` in the samples libjpeg is given for `colour`.
void fillRow(const QImage &image, int y, JpegKind::Colour colour, std::vector<JSAMPLE> &row)
{
    const QRgb *px = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
        const int r = qRed(px[x]), g = qGreen(px[x]), b = qBlue(px[x]);
        switch (colour) {
        case JpegKind::Colour::Grey:
            row[size_t(x)] = JSAMPLE(qGray(px[x]));
            break;
        case JpegKind::Colour::Cmyk: {
            // Stored inverted, as the Adobe marker libjpeg writes for CMYK says.
            const int k = 255 - std::max({r, g, b});
            const int c = 255 - r - k, m = 255 - g - k, yellow = 255 - b - k;
            JSAMPLE *p = row.data() + 4 * x;
            p[0] = JSAMPLE(255 - c);
            p[1] = JSAMPLE(255 - m);
            p[2] = JSAMPLE(255 - yellow);
            p[3] = JSAMPLE(255 - k);
            break;
        }
        case JpegKind::Colour::YCbCr: {
            JSAMPLE *p = row.data() + 3 * x;
            p[0] = JSAMPLE(r);
            p[1] = JSAMPLE(g);
            p[2] = JSAMPLE(b);
            break;
        }
        }
    }
}

void appendLe16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8));
}

void appendLe32(QByteArray &b, quint32 v)
{
    appendLe16(b, quint16(v & 0xFFFF));
    appendLe16(b, quint16(v >> 16));
}

// A directory entry holding one value in its own four bytes.
void appendEntry(QByteArray &b, quint16 tag, quint16 type, quint32 value)
{
    constexpr quint16 kShort = 3;
    appendLe16(b, tag);
    appendLe16(b, type);
    appendLe32(b, 1);
    if (type == kShort) {
        appendLe16(b, quint16(value));
        appendLe16(b, 0);
    } else {
        appendLe32(b, value);
    }
}

} // namespace

QByteArray jpegOfKind(const QImage &source, const JpegKind &kind)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    jpeg_compress_struct cinfo{};
    Failure err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<Failure *>(c->err)->jump, 1); };
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    std::vector<JSAMPLE> row;
    // Nothing with a destructor is made between here and the last libjpeg call.
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(out);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    switch (kind.colour) {
    case JpegKind::Colour::Grey:
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
        break;
    case JpegKind::Colour::Cmyk:
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_CMYK;
        break;
    case JpegKind::Colour::YCbCr:
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        break;
    }
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kind.quality, TRUE);
    if (kind.colour == JpegKind::Colour::YCbCr && !kind.subsampled)
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
    if (kind.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.arith_code = kind.arithmetic ? TRUE : FALSE;
    cinfo.restart_in_rows = kind.restartRows;
    jpeg_start_compress(&cinfo, TRUE);
    row.resize(size_t(image.width()) * size_t(cinfo.input_components));
    while (cinfo.next_scanline < cinfo.image_height) {
        fillRow(image, int(cinfo.next_scanline), kind.colour, row);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(outSize));
    std::free(out);
    return bytes;
}

QByteArray exifSegment(int orientation, const QByteArray &thumbnail)
{
    constexpr quint16 kShort = 3, kLong = 4;
    constexpr quint16 kOrientation = 0x0112, kCompression = 0x0103;
    constexpr quint16 kThumbnailAt = 0x0201, kThumbnailBytes = 0x0202;
    constexpr quint32 kJpegCompression = 6;
    constexpr int kHeaderBytes = 8, kEntryBytes = 12;
    const auto directoryBytes = [](int entries) { return 2 + entries * kEntryBytes + 4; };

    // Offsets count from the TIFF header, which starts after "Exif\0\0".
    const int firstEntries = orientation ? 1 : 0;
    const int second = kHeaderBytes + directoryBytes(firstEntries);
    const int thumbnailAt = second + directoryBytes(3);
    QByteArray tiff("II*\0", 4);
    appendLe32(tiff, kHeaderBytes);
    appendLe16(tiff, quint16(firstEntries));
    if (orientation)
        appendEntry(tiff, kOrientation, kShort, quint32(orientation));
    appendLe32(tiff, thumbnail.isEmpty() ? 0 : quint32(second));
    if (!thumbnail.isEmpty()) {
        appendLe16(tiff, 3);
        appendEntry(tiff, kCompression, kShort, kJpegCompression);
        appendEntry(tiff, kThumbnailAt, kLong, quint32(thumbnailAt));
        appendEntry(tiff, kThumbnailBytes, kLong, quint32(thumbnail.size()));
        appendLe32(tiff, 0);
        tiff += thumbnail;
    }
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(body.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
    return segment + body;
}

QByteArray withSegment(const QByteArray &jpeg, const QByteArray &segment)
{
    QByteArray out = jpeg;
    out.insert(2, segment);
    return out;
}

} // namespace testsupport
