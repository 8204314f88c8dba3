#include "tools/picture/Encode.h"

#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "platform/FreeImagePtr.h"
#include "tools/PhotoInformation.h"

#include <FreeImage.h>

#include <QLoggingCategory>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <libheif/heif.h>

Q_LOGGING_CATEGORY(lcEncode, "pixmar.tools.encode", QtWarningMsg)

namespace tools::picture {
namespace {

// FreeImage says why a save failed only through its message callback, on the failing thread:
// each worker of a bulk run keeps its own.
QString &lastMessage()
{
    static thread_local QString message;
    return message;
}

void listenToFreeImage()
{
    static const bool once = [] {
        FreeImage_SetOutputMessage([](FREE_IMAGE_FORMAT, const char *message) {
            lastMessage() = QString::fromLocal8Bit(message);
            qCDebug(lcEncode) << "FreeImage:" << lastMessage();
        });
        platform::decoder::routeTiffMessages();
        return true;
    }();
    (void)once;
}

// The encoder writes into memory as into a file: TIFF seeks and reads back what it wrote, and
// a seek past the end leaves zeros behind, as a file system does (FreeImage's own memory
// stream would leave whatever the heap held there).
struct MemoryFile {
    QByteArray bytes;
    qint64 size = 0;   // written so far; bytes may hold more, zeroed
    qint64 at = 0;
};

FreeImageIO memoryFileIO()
{
    FreeImageIO io{};
    io.write_proc = [](void *buffer, unsigned size, unsigned count, fi_handle h) -> unsigned {
        auto *f = static_cast<MemoryFile *>(h);
        const qint64 n = qint64(size) * count;
        if (n == 0)
            return 0;
        const qint64 end = f->at + n;
        if (end > f->bytes.size()) {
            const qint64 grown = std::max<qint64>(end, 2 * f->bytes.size());
            f->bytes.resize(qsizetype(grown), '\0');
        }
        std::memcpy(f->bytes.data() + f->at, buffer, size_t(n));
        f->at = end;
        f->size = std::max(f->size, end);
        return count;
    };
    io.read_proc = [](void *buffer, unsigned size, unsigned count, fi_handle h) -> unsigned {
        auto *f = static_cast<MemoryFile *>(h);
        if (size == 0 || f->at >= f->size)
            return 0;
        const qint64 whole = std::min<qint64>(count, (f->size - f->at) / size);
        std::memcpy(buffer, f->bytes.constData() + f->at, size_t(whole * size));
        f->at += whole * size;
        return unsigned(whole);
    };
    io.seek_proc = [](fi_handle h, long offset, int origin) -> int {
        auto *f = static_cast<MemoryFile *>(h);
        const qint64 base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? f->at : f->size;
        const qint64 to = base + offset;
        if (to < 0)
            return -1;
        // Past the end the gap reads as zeros once something is written beyond it.
        if (to > f->bytes.size())
            f->bytes.resize(qsizetype(to), '\0');
        f->at = to;
        return 0;
    };
    io.tell_proc = [](fi_handle h) -> long { return long(static_cast<MemoryFile *>(h)->at); };
    return io;
}

constexpr unsigned kDotsPerMeter96Dpi = 3780;

// Packs the image's rows in place as FreeImage keeps a 24-bit picture: blue, green, red, rows
// padded to four bytes, the bottom row first. Returns the row pitch.
int packBottomUp(QImage &image)
{
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_RGB888)
        image = image.convertToFormat(QImage::Format_RGB888);
    const int w = image.width(), h = image.height();
    const int pitch = (w * 3 + 3) & ~3;
    const bool fromRgb32 = image.format() == QImage::Format_RGB32;
    const qsizetype stride = image.bytesPerLine();
    uchar *base = image.bits();   // the only holder's pixels, unshared
    // Forward: each packed row starts at or before the row it comes from.
    for (int y = 0; y < h; ++y) {
        const uchar *src = base + qsizetype(y) * stride;
        uchar *dst = base + qsizetype(y) * pitch;
        if (fromRgb32) {
            // Blue, green, red already, in that order in memory; the spare byte goes.
            for (int x = 0; x < w; ++x) {
                dst[3 * x] = src[4 * x];
                dst[3 * x + 1] = src[4 * x + 1];
                dst[3 * x + 2] = src[4 * x + 2];
            }
        } else {
            for (int x = 0; x < w; ++x) {
                const uchar r = src[3 * x], g = src[3 * x + 1], b = src[3 * x + 2];
                dst[3 * x] = b;
                dst[3 * x + 1] = g;
                dst[3 * x + 2] = r;
            }
        }
        std::memset(dst + 3 * w, 0, size_t(pitch - 3 * w));
    }
    std::unique_ptr<uchar[]> row(new uchar[size_t(pitch)]);
    for (int top = 0, bottom = h - 1; top < bottom; ++top, --bottom) {
        uchar *a = base + qsizetype(top) * pitch, *b = base + qsizetype(bottom) * pitch;
        std::memcpy(row.get(), a, size_t(pitch));
        std::memcpy(a, b, size_t(pitch));
        std::memcpy(b, row.get(), size_t(pitch));
    }
    return pitch;
}

[[noreturn]] void encodingFailed(const QString &outputName)
{
    throw platform::AppError(platform::ErrorKind::CannotWrite, {outputName}, lastMessage(),
                             QStringLiteral("FreeImage"));
}

} // namespace

QString lastEncoderMessage() { return lastMessage(); }

namespace {

// The bitmap saved to memory in `format`, at 96 dpi.
QByteArray save(FIBITMAP *bitmap, const platform::formats::Format &format, int quality,
                const QString &outputName)
{
    FreeImage_SetDotsPerMeterX(bitmap, kDotsPerMeter96Dpi);
    FreeImage_SetDotsPerMeterY(bitmap, kDotsPerMeter96Dpi);
    // A JPEG at the default quality is written with the default flags.
    const int flags = format.hasQuality && quality != platform::formats::kDefaultJpegQuality
        ? std::clamp(quality, 1, 100)
        : 0;
    MemoryFile file;
    FreeImageIO io = memoryFileIO();
    const auto fif = static_cast<FREE_IMAGE_FORMAT>(format.freeImageCode);
    if (!FreeImage_SaveToHandle(fif, bitmap, &io, &file, flags))
        encodingFailed(outputName);
    file.bytes.truncate(qsizetype(file.size));
    file.bytes.squeeze();
    return std::move(file.bytes);
}

// ---------------------------------------------------------------- HEIC and AVIF

[[noreturn]] void heifFailed(const QString &outputName, const heif_error &e)
{
    lastMessage() = QString::fromUtf8(e.message);
    throw platform::AppError(e.code == heif_error_Memory_allocation_error ? platform::ErrorKind::OutOfMemory
                                                                          : platform::ErrorKind::CannotWrite,
                             {outputName}, lastMessage(), QStringLiteral("libheif"));
}

// The encoder's speed setting for HEVC: its own default ("slow") takes twice as long for
// files a few percent smaller, too long for a folder of phone photos.
constexpr const char *kHevcPreset = "medium";

// A picture of `size` encoded by libheif, its rows given a band at a time and copied once,
// straight into the encoder's own plane; sRGB (what the decoder turns every picture into),
// with the embedded photo information.
QByteArray heifFromBands(QSize size, bool alpha, const platform::PictureBand &band,
                         const platform::formats::Format &format, int quality,
                         const EmbeddedInformation &embedded, const QString &outputName)
{
    struct Held {
        heif_context *context = heif_context_alloc();
        heif_encoder *encoder = nullptr;
        heif_image *image = nullptr;
        heif_image_handle *handle = nullptr;
        heif_encoding_options *options = heif_encoding_options_alloc();
        heif_color_profile_nclx *nclx = heif_nclx_color_profile_alloc();
        ~Held()
        {
            heif_nclx_color_profile_free(nclx);
            heif_encoding_options_free(options);
            if (handle)
                heif_image_handle_release(handle);
            if (image)
                heif_image_release(image);
            if (encoder)
                heif_encoder_release(encoder);
            heif_context_free(context);
        }
    } held;
    if (!held.context || !held.options || !held.nclx)
        throw platform::AppError(platform::ErrorKind::OutOfMemory, {outputName});
    const auto check = [&outputName](const heif_error &e) {
        if (e.code != heif_error_Ok)
            heifFailed(outputName, e);
    };
    check(heif_context_get_encoder_for_format(
        held.context, static_cast<heif_compression_format>(format.heifCompression), &held.encoder));
    check(heif_encoder_set_lossy_quality(held.encoder, std::clamp(quality, 1, 100)));
    if (format.heifCompression == heif_compression_HEVC)
        check(heif_encoder_set_parameter_string(held.encoder, "preset", kHevcPreset));
    check(heif_image_create(size.width(), size.height(), heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &held.image));
    check(heif_image_add_plane(held.image, heif_channel_interleaved, size.width(), size.height(), 8));
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(held.image, heif_channel_interleaved, &stride);
    if (!plane)
        throw platform::AppError(platform::ErrorKind::OutOfMemory, {outputName});
    const QImage::Format rowFormat = alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    const size_t rowBytes = size_t(size.width()) * (alpha ? 4 : 3);
    constexpr int kBandBytes = 1 << 20;
    const int bandRows = std::max(1, kBandBytes / std::max(1, size.width() * 4));
    for (int top = 0; top < size.height(); top += bandRows) {
        const int rows = std::min(bandRows, size.height() - top);
        const QImage given = band(top, rows).convertToFormat(rowFormat);
        if (given.isNull())
            throw platform::AppError(platform::ErrorKind::OutOfMemory, {outputName});
        for (int r = 0; r < rows; ++r)
            std::memcpy(plane + qsizetype(top + r) * stride, given.constScanLine(r), rowBytes);
    }
    held.nclx->color_primaries = heif_color_primaries_ITU_R_BT_709_5;
    held.nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
    held.nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
    held.nclx->full_range_flag = 1;
    check(heif_image_set_nclx_color_profile(held.image, held.nclx));
    check(heif_context_encode_image(held.context, held.image, held.encoder, held.options, &held.handle));
    if (!embedded.exif.isEmpty()) {
        // As a camera writes it, after the "Exif" mark of a JPEG's segment: readers look for it.
        const QByteArray exif = QByteArray("Exif\0\0", 6) + embedded.exif;
        check(heif_context_add_exif_metadata(held.context, held.handle, exif.constData(), int(exif.size())));
    }
    if (!embedded.xmp.isEmpty())
        check(heif_context_add_XMP_metadata(held.context, held.handle, embedded.xmp.constData(),
                                            int(embedded.xmp.size())));
    QByteArray out;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = [](heif_context *, const void *data, size_t length, void *into) -> heif_error {
        static_cast<QByteArray *>(into)->append(static_cast<const char *>(data), qsizetype(length));
        return heif_error{heif_error_Ok, heif_suberror_Unspecified, "Success"};
    };
    check(heif_context_write(held.context, &writer, &out));
    return out;
}

void startEncoding(bool usable, const QString &outputName)
{
    listenToFreeImage();
    lastMessage().clear();
    if (!usable)
        encodingFailed(outputName);
}

} // namespace

bool embedsInformation(const platform::formats::Format &format) { return format.heifCompression >= 0; }

QByteArray encode(QImage image, const platform::formats::Format &format, int quality,
                  const QString &outputName, const EmbeddedInformation &embedded)
{
    startEncoding(!image.isNull() && platform::formats::writable(format), outputName);
    if (format.heifCompression >= 0)
        return heifFromBands(image.size(), image.hasAlphaChannel() && format.holdsAlpha, platform::bandsOf(image), format,
                             quality, embedded, outputName);
    if (image.format() == QImage::Format_ARGB32 && format.holdsAlpha) {
        // Blue, green, red, alpha in memory, as FreeImage keeps 32 bits: given top row first.
        platform::FreeImagePtr bitmap(FreeImage_ConvertFromRawBitsEx(
            FALSE, image.bits(), FIT_BITMAP, image.width(), image.height(), int(image.bytesPerLine()), 32,
            FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, TRUE));
        if (!bitmap)
            encodingFailed(outputName);
        return save(bitmap.get(), format, quality, outputName);
    }
    // Handed to libjpeg row by row as it lies: the same bytes as through FreeImage, without
    // packing the whole picture bottom-up first and FreeImage turning each row back.
    if (format.id == platform::formats::Id::Jpeg)
        return encode(image.size(), platform::bandsOf(image), format, quality, outputName, embedded);
    const int pitch = packBottomUp(image);
    platform::FreeImagePtr bitmap(FreeImage_ConvertFromRawBitsEx(
        FALSE, image.bits(), FIT_BITMAP, image.width(), image.height(), pitch, 24,
        FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE));
    if (!bitmap)
        encodingFailed(outputName);
    return save(bitmap.get(), format, quality, outputName);
}

namespace {

// libjpeg's errors end the encoding through a jump back into jpegFromBands.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf back;
};

[[noreturn]] void jpegFailed(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError *>(info->err)->back, 1);
}

// How libjpeg is handed a band's rows as they lie in memory: a 32-bit pixel is blue, green,
// red and a spare byte on a little-endian machine, red first on a big-endian one. Its
// conversion to luma and chroma gives the same values whatever order it reads the colours in.
struct RowLayout {
    QImage::Format format;
    J_COLOR_SPACE space;
    int components;
};

RowLayout rowLayoutFor(QImage::Format given)
{
    if (given == QImage::Format_RGB32)
        return {QImage::Format_RGB32, Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB, 4};
    return {QImage::Format_RGB888, JCS_RGB, 3};
}

// A JPEG made a band at a time, with the settings FreeImage's encoder gives a 24-bit picture
// (its defaults, the quality, 96 dpi in the JFIF header) and through the same libjpeg, so that
// the bytes are those it would write. The rows go to libjpeg where they lie, neither copied nor
// reordered, and no full-size copy of the picture is ever held. Empty when libjpeg failed.
QByteArray jpegFromBands(QSize size, const platform::PictureBand &band, int quality)
{
    constexpr int kBandBytes = 1 << 20;
    const int bandRows = std::max(1, kBandBytes / std::max(1, size.width() * 4));
    // The first band decides the layout the others are brought to (a band seldom differs).
    const QImage first = band(0, std::min(bandRows, size.height()));
    const RowLayout layout = rowLayoutFor(first.format());
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFailed;
    unsigned char *buffer = nullptr;
    unsigned long length = 0;
    std::vector<JSAMPROW> rows(static_cast<size_t>(bandRows));
    if (setjmp(error.back)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = JDIMENSION(size.width());
    info.image_height = JDIMENSION(size.height());
    info.input_components = layout.components;
    info.in_color_space = layout.space;
    jpeg_set_defaults(&info);
    info.X_density = UINT16(0.5 + 0.0254 * kDotsPerMeter96Dpi);
    info.Y_density = UINT16(0.5 + 0.0254 * kDotsPerMeter96Dpi);
    info.density_unit = 1;   // dots per inch
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int top = 0; top < size.height(); top += bandRows) {
        const int count = std::min(bandRows, size.height() - top);
        QImage given = top == 0 ? first : band(top, count);
        if (given.format() != layout.format)
            given = std::move(given).convertToFormat(layout.format);
        // libjpeg only reads the rows it is given.
        for (int r = 0; r < count; ++r)
            rows[size_t(r)] = const_cast<JSAMPROW>(given.constScanLine(r));
        for (int done = 0; done < count;)
            done += int(jpeg_write_scanlines(&info, rows.data() + done, JDIMENSION(count - done)));
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(length));
    std::free(buffer);
    return out;
}

} // namespace

QByteArray encode(QSize size, const platform::PictureBand &band,
                  const platform::formats::Format &format, int quality, const QString &outputName,
                  const EmbeddedInformation &embedded)
{
    startEncoding(!size.isEmpty() && platform::formats::writable(format), outputName);
    if (format.heifCompression >= 0)
        return heifFromBands(size, false, band, format, quality, embedded, outputName);
    if (format.id == platform::formats::Id::Jpeg) {
        QByteArray jpeg = jpegFromBands(size, band, std::clamp(quality, 1, 100));
        if (jpeg.isEmpty())
            encodingFailed(outputName);
        return jpeg;
    }
    platform::FreeImagePtr bitmap(FreeImage_Allocate(size.width(), size.height(), 24));
    if (!bitmap)
        throw platform::AppError(platform::ErrorKind::OutOfMemory, {outputName});
    constexpr int kBandBytes = 1 << 20;
    const int bandRows = std::max(1, kBandBytes / std::max(1, size.width() * 4));
    for (int top = 0; top < size.height(); top += bandRows) {
        const int rows = std::min(bandRows, size.height() - top);
        QImage given = band(top, rows);
        if (given.format() != QImage::Format_RGB32 && given.format() != QImage::Format_RGB888)
            given = given.convertToFormat(QImage::Format_RGB888);
        const bool rgb32 = given.format() == QImage::Format_RGB32;
        for (int r = 0; r < rows; ++r) {
            const uchar *src = given.constScanLine(r);
            // FreeImage keeps the bottom row first.
            uchar *dst = FreeImage_GetScanLine(bitmap.get(), size.height() - 1 - (top + r));
            for (int x = 0; x < size.width(); ++x) {
                dst[3 * x] = rgb32 ? src[4 * x] : src[3 * x + 2];
                dst[3 * x + 1] = rgb32 ? src[4 * x + 1] : src[3 * x + 1];
                dst[3 * x + 2] = rgb32 ? src[4 * x + 2] : src[3 * x];
            }
        }
    }
    return save(bitmap.get(), format, quality, outputName);
}

EmbeddedInformation sourceInformationToEmbed(const QString &source, const QString &outputName)
{
    QString warning;
    PhotoInformationBlocks blocks = photoInformationBlocks(source, warning);
    if (!warning.isEmpty())
        qCWarning(lcEncode).noquote() << outputName << "written without some photo information:" << warning;
    return {std::move(blocks.exif), std::move(blocks.xmp)};
}

QByteArray withSourceInformation(const QByteArray &encoded, const QString &source,
                                 const QString &outputName)
{
    QString warning;
    QByteArray out = withPhotoInformation(encoded, source, warning);
    if (!warning.isEmpty())
        qCWarning(lcEncode).noquote() << outputName << "written without some photo information:" << warning;
    return out;
}

} // namespace tools::picture
