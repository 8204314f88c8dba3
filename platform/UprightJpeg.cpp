#include "platform/UprightJpeg.h"
#include "platform/PixelPool.h"

#include <QLoggingCategory>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace platform::decoder {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool filled = false;
    QString message;
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

} // namespace

std::optional<UprightJpeg> decodeJpegUpright(const QByteArray &bytes,
                                             QImageIOHandler::Transformations turn,
                                             const std::function<bool(const QString &)> &meansFiller)
{
    Decompress d;
    jpeg_decompress_struct &cinfo = d.cinfo;
    ErrorManager &err = d.err;
    err.meansFiller = &meansFiller;
    err.base.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<ErrorManager *>(c->err)->jump, 1);
    };
    // The warnings a picture cut short or garbled gives mark it damaged, as the reader's do.
    err.base.emit_message = [](j_common_ptr c, int level) {
        auto *e = reinterpret_cast<ErrorManager *>(c->err);
        if (level >= 0 || e->filled)
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
            jpeg_read_header(&cinfo, TRUE);
        }))
        return std::nullopt;
    // Colour photos only; the reader keeps what it does with grey and CMYK pictures.
    if (cinfo.num_components != 3 || cinfo.jpeg_color_space != JCS_YCbCr)
        return std::nullopt;
    // The reader's own choices, so that the pixels are the ones it gives.
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.out_color_space = JCS_EXT_BGRX;   // 32-bit RGB in memory order
    if (!guarded(err, [&] { jpeg_start_decompress(&cinfo); }))
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
    // The density the reader reads from the picture's header.
    if (cinfo.density_unit == 1) {
        upright.setDotsPerMeterX(int(100. * cinfo.X_density / 2.54));
        upright.setDotsPerMeterY(int(100. * cinfo.Y_density / 2.54));
    } else if (cinfo.density_unit == 2) {
        upright.setDotsPerMeterX(int(100. * cinfo.X_density));
        upright.setDotsPerMeterY(int(100. * cinfo.Y_density));
    }
    if (swap) {
        const int dx = upright.dotsPerMeterX();
        upright.setDotsPerMeterX(upright.dotsPerMeterY());
        upright.setDotsPerMeterY(dx);
    }
    return UprightJpeg{std::move(upright), err.filled, err.message};
}

} // namespace platform::decoder
