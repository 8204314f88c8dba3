#include "platform/UprightJpeg.h"
#include "platform/PixelPool.h"

#include <QColorSpace>
#include <QLoggingCategory>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <vector>

namespace platform::decoder {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool filled = false;
    QString message;
    bool firstWarningOnly = false;   // as the reader's error manager shows them
    int warnings = 0;
    const std::function<bool(const QString &)> *meansFiller = nullptr;
};

// Where stored pixel (x, y) of a w × h picture goes in the upright one.
struct Placement {
    QImageIOHandler::Transformations turn;
    int w, h;
    QPoint operator()(int x, int y) const
    {
        switch (int(turn)) {
        case QImageIOHandler::TransformationMirror: return {w - 1 - x, y};
        case QImageIOHandler::TransformationRotate180: return {w - 1 - x, h - 1 - y};
        case QImageIOHandler::TransformationFlip: return {x, h - 1 - y};
        case QImageIOHandler::TransformationFlipAndRotate90: return {y, x};
        case QImageIOHandler::TransformationRotate90: return {h - 1 - y, x};
        case QImageIOHandler::TransformationMirrorAndRotate90: return {h - 1 - y, w - 1 - x};
        case QImageIOHandler::TransformationRotate270: return {y, w - 1 - x};
        default: return {x, y};
        }
    }
};

// Runs libjpeg calls, and nothing with a destructor, under the error manager's jump: false
// when libjpeg gave up on the picture.
template <class Step>
bool guarded(ErrorManager &err, Step step)
{
    if (setjmp(err.jump))
        return false;
    step();
    return true;
}

struct Decompress {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    Decompress() { cinfo.err = jpeg_std_error(&err.base); }
    ~Decompress() { jpeg_destroy_decompress(&cinfo); }
};

// Reads the header of a colour JPEG and sets it up as the reader decodes it, at `eighths`/8
// of its size; false for a picture this does not handle or libjpeg gives up on. `asReader`
// keeps the comment and profile segments for the caller, and looks at the first warning
// only, as the reader does.
bool openColour(Decompress &d, const QByteArray &bytes, int eighths, bool asReader,
                const std::function<bool(const QString &)> &meansFiller)
{
    jpeg_decompress_struct &cinfo = d.cinfo;
    ErrorManager &err = d.err;
    err.meansFiller = &meansFiller;
    err.firstWarningOnly = asReader;
    err.base.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<ErrorManager *>(c->err)->jump, 1);
    };
    // The warnings a picture cut short or garbled gives mark it damaged, as the reader's do.
    err.base.emit_message = [](j_common_ptr c, int level) {
        auto *e = reinterpret_cast<ErrorManager *>(c->err);
        if (level >= 0 || e->filled || (e->firstWarningOnly && e->warnings++ > 0))
            return;
        char text[JMSG_LENGTH_MAX];
        (*c->err->format_message)(c, text);
        const QString m = QString::fromLocal8Bit(text);
        if ((*e->meansFiller)(m)) {
            e->filled = true;
            e->message = m;
        }
    };
    // A picture libjpeg gives up on is left to the reader, which tells what is wrong with it.
    if (!guarded(err, [&] {
            jpeg_create_decompress(&cinfo);
            jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                         static_cast<unsigned long>(bytes.size()));
            if (asReader) {
                jpeg_save_markers(&cinfo, JPEG_COM, 0xffff);
                jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xffff);
            }
            jpeg_read_header(&cinfo, TRUE);
        }))
        return false;
    // Colour photos only; the reader keeps what it does with grey and CMYK pictures.
    if (cinfo.num_components != 3 || cinfo.jpeg_color_space != JCS_YCbCr)
        return false;
    // The reader's own choices, so that the pixels are the ones it gives.
    cinfo.scale_num = unsigned(eighths);
    cinfo.scale_denom = 8;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.out_color_space = JCS_EXT_BGRX;   // 32-bit RGB in memory order
    return guarded(err, [&] { jpeg_start_decompress(&cinfo); });
}

// The density the reader reads from the picture's header.
void setDensity(const jpeg_decompress_struct &cinfo, QImage &image)
{
    if (cinfo.density_unit == 1) {
        image.setDotsPerMeterX(int(100. * cinfo.X_density / 2.54));
        image.setDotsPerMeterY(int(100. * cinfo.Y_density / 2.54));
    } else if (cinfo.density_unit == 2) {
        image.setDotsPerMeterX(int(100. * cinfo.X_density));
        image.setDotsPerMeterY(int(100. * cinfo.Y_density));
    }
}

} // namespace

std::optional<UprightJpeg> decodeJpegUpright(const QByteArray &bytes,
                                             QImageIOHandler::Transformations turn,
                                             const std::function<bool(const QString &)> &meansFiller)
{
    Decompress d;
    jpeg_decompress_struct &cinfo = d.cinfo;
    ErrorManager &err = d.err;
    if (!openColour(d, bytes, 8, false, meansFiller))
        return std::nullopt;
    const int w = int(cinfo.output_width), h = int(cinfo.output_height);
    const bool swap = turn & QImageIOHandler::TransformationRotate90;
    QImage upright = pixelpool::image(QSize(swap ? h : w, swap ? w : h), QImage::Format_RGB32);
    if (upright.isNull())
        return std::nullopt;
    const Placement place{turn, w, h};
    quint32 *const bits = reinterpret_cast<quint32 *>(upright.bits());
    const qptrdiff stride = upright.bytesPerLine() / qptrdiff(sizeof(quint32));
    // Rows come a band at a time and go straight to their upright places: the stored
    // picture is never held whole beside the upright one.
    const int band = std::max(1, int(cinfo.rec_outbuf_height)) * 8;
    std::vector<quint32> rows(size_t(w) * size_t(band));
    std::vector<JSAMPROW> pointers(static_cast<size_t>(band));
    for (int i = 0; i < band; ++i)
        pointers[size_t(i)] = reinterpret_cast<JSAMPROW>(rows.data() + size_t(i) * size_t(w));
    while (int(cinfo.output_scanline) < h) {
        const int top = int(cinfo.output_scanline);
        int got = 0;
        while (got < band && int(cinfo.output_scanline) < h) {
            JDIMENSION read = 0;
            if (!guarded(err, [&] { read = jpeg_read_scanlines(&cinfo, pointers.data() + got, JDIMENSION(band - got)); }))
                return std::nullopt;
            got += int(read);
        }
        // The placement is a step along x and a step along the rows: each band is walked so
        // that the writes go along the upright picture's rows.
        const QPoint origin = place(0, top);
        const QPoint alongX = place(1, top) - origin, alongRows = place(0, top + 1) - origin;
        const qptrdiff stepX = qptrdiff(alongX.y()) * stride + alongX.x();
        const qptrdiff stepRow = qptrdiff(alongRows.y()) * stride + alongRows.x();
        quint32 *const start = bits + qptrdiff(origin.y()) * stride + origin.x();
        if (alongX.y() == 0) {
            for (int r = 0; r < got; ++r) {
                const quint32 *from = rows.data() + size_t(r) * size_t(w);
                quint32 *to = start + r * stepRow;
                for (int x = 0; x < w; ++x, to += stepX)
                    *to = from[x];
            }
        } else {
            for (int x = 0; x < w; ++x) {
                quint32 *to = start + x * stepX;
                for (int r = 0; r < got; ++r, to += stepRow)
                    *to = rows[size_t(r) * size_t(w) + size_t(x)];
            }
        }
    }
    if (!guarded(err, [&] { jpeg_finish_decompress(&cinfo); }))
        return std::nullopt;
    setDensity(cinfo, upright);
    if (swap) {
        const int dx = upright.dotsPerMeterX();
        upright.setDotsPerMeterX(upright.dotsPerMeterY());
        upright.setDotsPerMeterY(dx);
    }
    return UprightJpeg{std::move(upright), err.filled, err.message};
}

std::optional<UprightJpeg> decodeJpegEighths(const QByteArray &bytes, int eighths,
                                             const std::function<bool(const QString &)> &meansFiller)
{
    Decompress d;
    jpeg_decompress_struct &cinfo = d.cinfo;
    if (!openColour(d, bytes, eighths, true, meansFiller))
        return std::nullopt;
    QByteArray icc;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_COM)
            return std::nullopt;
        // The reader's test for a profile's pieces, taken in the order they stand.
        if (m->marker == JPEG_APP0 + 2 && m->data_length > 128 + 4 + 14
            && std::strcmp(reinterpret_cast<const char *>(m->data), "ICC_PROFILE") == 0)
            icc.append(reinterpret_cast<const char *>(m->data) + 14, int(m->data_length) - 14);
    }
    QImage image(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;
    // Straight into the image's rows, a band at a time.
    const int h = image.height();
    std::vector<JSAMPROW> rows(size_t(std::max(1, int(cinfo.rec_outbuf_height))));
    while (int(cinfo.output_scanline) < h) {
        const int top = int(cinfo.output_scanline);
        const int n = std::min(int(rows.size()), h - top);
        for (int i = 0; i < n; ++i)
            rows[size_t(i)] = image.scanLine(top + i);
        JDIMENSION read = 0;
        if (!guarded(d.err, [&] { read = jpeg_read_scanlines(&cinfo, rows.data(), JDIMENSION(n)); }))
            return std::nullopt;
        if (read == 0)
            return std::nullopt;
    }
    if (!guarded(d.err, [&] { jpeg_finish_decompress(&cinfo); }))
        return std::nullopt;
    setDensity(cinfo, image);
    if (!icc.isEmpty())
        image.setColorSpace(QColorSpace::fromIccProfile(icc));
    return UprightJpeg{std::move(image), d.err.filled, d.err.message};
}

} // namespace platform::decoder
