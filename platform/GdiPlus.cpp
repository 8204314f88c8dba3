#include "platform/GdiPlus.h"
#include "platform/SmoothScale.h"
#include "platform/GdiPlusCodecs.h"
#include "platform/GifEncoder.h"
#include "platform/HandleTable.h"
#include "platform/Limits.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QPainter>
#include <QUuid>
#include <algorithm>
#include <array>
#include <cstring>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <mutex>
#include <set>
#include <string_view>

Q_LOGGING_CATEGORY(lcGdiPlus, "pixmar.gdiplus")

namespace platform::gdiplus {

struct StoredProperty {
    std::uint16_t type = 0;
    QByteArray value;
};

struct GpImage {
    QString path;   // the pixels can be read again from here once they were handed on
    PixelFormat pixelFormat = PixelFormatUndefined;
    QSize size;
    QImage pixels;
    QSize shown;   // only this top-left part was asked for (invalid: all of it)
    QRect part;    // where `pixels` lie in the picture
    std::map<PROPID, StoredProperty> properties;
    // An open multi-frame file that this image started (it is the file's first frame).
    std::unique_ptr<gif::GifWriter> session;
    int sessionFrames = 0;

    // The pixels, decoded again when they were given to a GIF writer earlier.
    GpStatus ensurePixels()
    {
        if (!pixels.isNull())
            return Ok;
        codecs::Decoded d = codecs::decodeFile(path, shown);
        if (d.status != Ok)
            return d.status;
        pixels = std::move(d.image);
        part = d.part;
        return Ok;
    }
    bool whole() const { return part == QRect(QPoint(0, 0), size); }
};

struct GpGraphics {
    QImage *device = nullptr;
    InterpolationMode mode = InterpolationModeBilinear;
};

namespace {

constexpr std::uint32_t kFirstToken = 0x1000;
constexpr int kDefaultJpegQuality = 75;

// Objects handed out through the flat calls: a stale handle is an InvalidParameter, never a
// dangling pointer.
struct Library {
    std::mutex tokensMutex;   // the workers of a bulk run start and stop the library each
    std::set<ULONG_PTR> tokens;
    ULONG_PTR nextToken = kFirstToken;
    HandleTable<GpImage> images;
    HandleTable<GpGraphics> graphics;
};

Library &lib()
{
    static Library instance;
    return instance;
}

bool started()
{
    Library &l = lib();
    const std::lock_guard lock(l.tokensMutex);
    return !l.tokens.empty();
}

template <class T>
GpStatus checkHandle(const HandleTable<T> &table, T *handle)
{
    if (!started())
        return GdiplusNotInitialized;
    return table.contains(handle) ? Ok : InvalidParameter;
}

GpStatus checkImage(GpImage *image) { return checkHandle(lib().images, image); }
GpStatus checkGraphics(GpGraphics *graphics) { return checkHandle(lib().graphics, graphics); }

// The shape of the image queries: a live image, somewhere to put every answer, then `read`.
template <class Read, class... Out>
GpStatus queryImage(GpImage *image, Read read, Out *...out)
{
    const GpStatus s = checkImage(image);
    if (s != Ok)
        return s;
    if (((out == nullptr) || ...))
        return InvalidParameter;
    read(*image);
    return Ok;
}

// ---- encoders

struct CodecText {
    CLSID clsid;
    GUID format;
    std::u16string_view name;
    std::u16string_view description;
    std::u16string_view extensions;
    std::u16string_view mime;
};
constexpr std::uint32_t kCodecFlags = 0x1 | 0x2 | 0x4 | 0x10000;   // encoder, decoder, bitmap, built-in

// The library's order and pattern lists.
const std::array<CodecText, 5> kEncoders = {{
    {EncoderClsidBMP, ImageFormatBMP, u"Built-in BMP Codec", u"BMP", u"*.BMP;*.DIB;*.RLE", u"image/bmp"},
    {EncoderClsidJPEG, ImageFormatJPEG, u"Built-in JPEG Codec", u"JPEG", u"*.JPG;*.JPEG;*.JPE;*.JFIF", u"image/jpeg"},
    {EncoderClsidGIF, ImageFormatGIF, u"Built-in GIF Codec", u"GIF", u"*.GIF", u"image/gif"},
    {EncoderClsidTIFF, ImageFormatTIFF, u"Built-in TIFF Codec", u"TIFF", u"*.TIF;*.TIFF", u"image/tiff"},
    {EncoderClsidPNG, ImageFormatPNG, u"Built-in PNG Codec", u"PNG", u"*.PNG", u"image/png"},
}};

std::uint32_t textBytes(std::u16string_view s) { return std::uint32_t((s.size() + 1) * sizeof(WCHAR)); }

std::uint32_t encoderListBytes()
{
    std::uint32_t bytes = std::uint32_t(kEncoders.size() * sizeof(ImageCodecInfo));
    for (const CodecText &c : kEncoders)
        bytes += textBytes(c.name) + textBytes(c.description) + textBytes(c.extensions)
            + textBytes(c.mime);
    return bytes;
}

const CodecText *encoderFor(const CLSID *clsid)
{
    if (!clsid)
        return nullptr;
    for (const CodecText &c : kEncoders)
        if (c.clsid == *clsid)
            return &c;
    return nullptr;
}

// ---- encoder parameters

struct SaveOptions {
    GpStatus status = Ok;
    std::optional<std::uint32_t> saveFlag;
    int quality = kDefaultJpegQuality;
};

std::optional<std::uint32_t> firstLong(const EncoderParameter &p)
{
    if (p.Type != EncoderParameterValueTypeLong || p.NumberOfValues < 1 || !p.Value)
        return std::nullopt;
    std::uint32_t v;
    std::memcpy(&v, p.Value, sizeof v);
    return v;
}

SaveOptions readParams(const EncoderParameters *params)
{
    SaveOptions out;
    if (!params)
        return out;
    for (std::uint32_t i = 0; i < params->Count; ++i) {
        const EncoderParameter &p = params->Parameter[i];
        if (p.Guid == EncoderSaveFlag) {
            out.saveFlag = firstLong(p);
            if (!out.saveFlag)
                out.status = InvalidParameter;
        } else if (p.Guid == EncoderQuality) {
            const auto q = firstLong(p);
            if (!q || *q > 100)
                out.status = InvalidParameter;
            else
                out.quality = int(*q);
        }
        // Parameters of other kinds are not used by these encoders and are ignored.
    }
    return out;
}

// ---- the GIF properties of the first frame

// Element `index` of a numeric property, whatever width its type gives.
std::optional<std::int64_t> propertyElement(const GpImage &image, PROPID id, int index)
{
    auto it = image.properties.find(id);
    if (it == image.properties.end() || index < 0)
        return std::nullopt;
    const StoredProperty &p = it->second;
    int width = 0;
    switch (p.type) {
    case PropertyTagTypeByte: width = 1; break;
    case PropertyTagTypeShort: width = 2; break;
    case PropertyTagTypeLong:
    case PropertyTagTypeSLONG: width = 4; break;
    default: return std::nullopt;
    }
    if ((qsizetype(index) + 1) * width > p.value.size())
        return std::nullopt;
    const auto *b = reinterpret_cast<const std::uint8_t *>(p.value.constData()) + index * width;
    std::uint32_t v = 0;
    for (int k = width - 1; k >= 0; --k)
        v = (v << 8) | b[k];
    if (p.type == PropertyTagTypeSLONG)
        return std::int64_t(std::int32_t(v));
    return std::int64_t(v);
}

int frameDelay(const GpImage &owner, const GpImage &frame, int position)
{
    if (auto d = propertyElement(owner, PropertyTagFrameDelay, position))
        return int(std::clamp<std::int64_t>(*d, 0, 0xFFFF));
    if (auto d = propertyElement(frame, PropertyTagFrameDelay, 0))
        return int(std::clamp<std::int64_t>(*d, 0, 0xFFFF));
    return 0;
}

// The frame's pixels go to the writer; they are read again from the file if needed later.
QImage takePixels(GpImage &image)
{
    QImage out = std::move(image.pixels);
    image.pixels = QImage();
    return out;
}

thread_local int lastSaveError = 0;

// `s`, the status of a call on `writer`, with the system's reason of a Win32Error kept.
GpStatus noted(GpStatus s, const gif::GifWriter &writer)
{
    lastSaveError = s == Win32Error ? writer.systemError() : 0;
    return s;
}

GpStatus startGif(GpImage &image, const QString &path, bool multiFrame)
{
    const GpStatus px = image.ensurePixels();
    if (px != Ok)
        return px;
    auto writer = std::make_unique<gif::GifWriter>();
    std::optional<int> loops;
    if (auto l = propertyElement(image, PropertyTagLoopCount, 0))
        loops = int(*l & 0xFFFF);
    GpStatus s = noted(writer->open(path, image.pixels.size(), loops), *writer);
    if (s != Ok)
        return s;
    s = noted(writer->addFrame(takePixels(image), frameDelay(image, image, 0)), *writer);
    if (s != Ok)
        return s;
    if (!multiFrame)
        return noted(writer->finish(), *writer);
    image.session = std::move(writer);
    image.sessionFrames = 1;
    return Ok;
}

struct DrawRect {
    int x, y, w, h;
};

GpStatus drawImage(GpGraphics *graphics, GpImage *image, DrawRect dst, std::optional<QRect> src)
{
    GpStatus s = checkGraphics(graphics);
    if (s == Ok)
        s = checkImage(image);
    if (s != Ok)
        return s;
    s = image->ensurePixels();
    if (s != Ok)
        return s;
    if (dst.w == 0 || dst.h == 0)
        return Ok;
    QRect from = src.value_or(QRect(QPoint(0, 0), image->size));
    if (from.width() <= 0 || from.height() <= 0)
        return Ok;
    if (!image->whole()) {
        // Only a part was decoded: draw what of it falls in the source rectangle, where it
        // would have been drawn had the whole picture been there.
        if (dst.w < 0 || dst.h < 0)
            return NotImplemented;
        const QRect have = from.intersected(image->part);
        if (have.isEmpty())
            return Ok;
        const double sx = double(dst.w) / from.width(), sy = double(dst.h) / from.height();
        const int left = dst.x + int(std::lround((have.left() - from.left()) * sx));
        const int top = dst.y + int(std::lround((have.top() - from.top()) * sy));
        dst = DrawRect{left, top,
                       dst.x + int(std::lround((have.right() + 1 - from.left()) * sx)) - left,
                       dst.y + int(std::lround((have.bottom() + 1 - from.top()) * sy)) - top};
        from = have;
    }
    // A negative width or height draws the picture mirrored, as the library does.
    const bool mirrorX = dst.w < 0, mirrorY = dst.h < 0;
    if (mirrorX) {
        dst.x += dst.w;
        dst.w = -dst.w;
    }
    if (mirrorY) {
        dst.y += dst.h;
        dst.h = -dst.h;
    }
    QImage part = image->pixels;
    from.translate(-image->part.topLeft());
    if (from != part.rect())
        part = part.copy(from);
    if (part.hasAlphaChannel() && part.format() != QImage::Format_ARGB32_Premultiplied)
        part = part.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const Qt::TransformationMode mode = graphics->mode == InterpolationModeNearestNeighbor
        ? Qt::FastTransformation
        : Qt::SmoothTransformation;
    // Scaling the picture first and painting it one to one gives a properly filtered
    // reduction; painting it scaled would only sample it.
    const QSize size(dst.w, dst.h);
    if (part.size() != size)
        part = mode == Qt::SmoothTransformation ? smoothScaled(part, size)
                                                : part.scaled(size, Qt::IgnoreAspectRatio, mode);
    if (mirrorX || mirrorY)
        part = part.mirrored(mirrorX, mirrorY);
    QPainter painter(graphics->device);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPoint(dst.x, dst.y), part);
    return Ok;
}

} // namespace

// ---------------------------------------------------------------- GUIDs

std::int32_t IIDFromString(const WCHAR *text, GUID *guid)
{
    if (!text || !guid)
        return CO_E_IIDSTRING;
    const QString s = QString::fromUtf16(text);
    constexpr int kBracedLength = 38;
    if (s.size() != kBracedLength || !s.startsWith(u'{') || !s.endsWith(u'}'))
        return CO_E_IIDSTRING;
    const QUuid u = QUuid::fromString(s);
    if (u.isNull() && s.compare(QStringLiteral("{00000000-0000-0000-0000-000000000000}")) != 0)
        return CO_E_IIDSTRING;
    guid->Data1 = u.data1;
    guid->Data2 = u.data2;
    guid->Data3 = u.data3;
    std::memcpy(guid->Data4, u.data4, sizeof guid->Data4);
    return 0;
}

// ---------------------------------------------------------------- start-up

GpStatus GdiplusStartup(ULONG_PTR *token, const GdiplusStartupInput *input,
                        GdiplusStartupOutput * /*output*/)
{
    if (!token || !input)
        return InvalidParameter;
    *token = 0;
    constexpr std::uint32_t kHighestVersion = 3;
    if (input->GdiplusVersion < 1 || input->GdiplusVersion > kHighestVersion)
        return UnsupportedGdiplusVersion;
    // The stand-in has no background thread of its own to hand over to the caller.
    if (input->SuppressBackgroundThread)
        return NotImplemented;
    Library &l = lib();
    const std::lock_guard lock(l.tokensMutex);
    *token = l.nextToken++;
    l.tokens.insert(*token);
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token)
{
    Library &l = lib();
    const std::lock_guard lock(l.tokensMutex);
    if (!l.tokens.erase(token) || !l.tokens.empty())
        return;
    if (!l.images.empty() || !l.graphics.empty())
        qCWarning(lcGdiPlus) << "shut down with" << l.images.size() << "images and"
                             << l.graphics.size() << "graphics still alive; released";
    l.graphics.clear();
    l.images.clear();
}

// ---------------------------------------------------------------- images

namespace {

GpStatus loadImage(const WCHAR *filename, QSize shown, GpImage **image)
{
    if (!started())
        return GdiplusNotInitialized;
    if (!filename || !image)
        return InvalidParameter;
    *image = nullptr;
    const QString path = QString::fromUtf16(filename);
    codecs::Decoded d = codecs::decodeFile(path, shown);
    if (d.status != Ok)
        return d.status;
    auto img = std::make_unique<GpImage>();
    img->path = path;
    img->pixelFormat = d.pixelFormat;
    img->size = d.size;
    img->shown = shown;
    img->part = d.part;
    img->pixels = std::move(d.image);
    *image = lib().images.add(std::move(img));
    return Ok;
}

} // namespace

GpStatus GdipLoadImageFromFile(const WCHAR *filename, GpImage **image)
{
    return loadImage(filename, QSize(), image);
}

GpStatus loadImageShown(const WCHAR *filename, QSize shown, GpImage **image)
{
    if (!shown.isValid() || shown.isEmpty())
        return InvalidParameter;
    return loadImage(filename, shown, image);
}

GpStatus GdipDisposeImage(GpImage *image)
{
    const GpStatus s = checkImage(image);
    if (s != Ok)
        return s;
    lib().images.remove(image);   // an unfinished multi-frame file is abandoned with it
    return Ok;
}

GpStatus GdipGetImagePixelFormat(GpImage *image, PixelFormat *format)
{
    return queryImage(image, [&](const GpImage &i) { *format = i.pixelFormat; }, format);
}

GpStatus GdipGetImageDimension(GpImage *image, float *width, float *height)
{
    return queryImage(
        image,
        [&](const GpImage &i) {
            *width = float(i.size.width());
            *height = float(i.size.height());
        },
        width, height);
}

GpStatus GdipGetImageWidth(GpImage *image, std::uint32_t *width)
{
    return queryImage(image, [&](const GpImage &i) { *width = std::uint32_t(i.size.width()); }, width);
}

GpStatus GdipGetImageHeight(GpImage *image, std::uint32_t *height)
{
    return queryImage(image, [&](const GpImage &i) { *height = std::uint32_t(i.size.height()); },
                      height);
}

GpStatus GdipGetImageThumbnail(GpImage *image, std::uint32_t thumbWidth, std::uint32_t thumbHeight,
                               GpImage **thumbImage, void *callback, void *callbackData)
{
    Q_UNUSED(callbackData);
    GpStatus s = checkImage(image);
    if (s != Ok)
        return s;
    if (!thumbImage || callback || thumbWidth == 0 || thumbHeight == 0
        || thumbWidth > std::uint32_t(limits::kMaxPictureSide)
        || thumbHeight > std::uint32_t(limits::kMaxPictureSide)
        || std::int64_t(thumbWidth) * thumbHeight > limits::kMaxPicturePixels)
        return InvalidParameter;
    *thumbImage = nullptr;
    // A picture decoded only in part has nothing to make the rest of the thumbnail from.
    if (!image->whole())
        return WrongState;
    s = image->ensurePixels();
    if (s != Ok)
        return s;
    auto thumb = std::make_unique<GpImage>();
    thumb->pixelFormat = PixelFormat32bppARGB;
    thumb->size = QSize(int(thumbWidth), int(thumbHeight));
    thumb->part = QRect(QPoint(0, 0), thumb->size);
    // Smooth scaling averages the pixels a reduction folds together rather than sampling them.
    thumb->pixels = smoothScaled(image->pixels, thumb->size).convertToFormat(QImage::Format_ARGB32);
    if (thumb->pixels.isNull())
        return OutOfMemory;
    *thumbImage = lib().images.add(std::move(thumb));
    return Ok;
}

// ---------------------------------------------------------------- properties

GpStatus GdipSetPropertyItem(GpImage *image, const PropertyItem *item)
{
    GpStatus s = checkImage(image);
    if (s != Ok)
        return s;
    if (!item || (item->length > 0 && !item->value))
        return InvalidParameter;
    StoredProperty p;
    p.type = item->type;
    p.value = QByteArray(static_cast<const char *>(item->value), qsizetype(item->length));
    image->properties[item->id] = std::move(p);
    return Ok;
}

// ---------------------------------------------------------------- encoders

GpStatus GdipGetImageEncodersSize(std::uint32_t *numEncoders, std::uint32_t *size)
{
    if (!started())
        return GdiplusNotInitialized;
    if (!numEncoders || !size)
        return InvalidParameter;
    *numEncoders = std::uint32_t(kEncoders.size());
    *size = encoderListBytes();
    return Ok;
}

GpStatus GdipGetImageEncoders(std::uint32_t numEncoders, std::uint32_t size,
                              ImageCodecInfo *encoders)
{
    if (!started())
        return GdiplusNotInitialized;
    if (!encoders || numEncoders != kEncoders.size() || size != encoderListBytes())
        return InvalidParameter;
    auto *text = reinterpret_cast<WCHAR *>(encoders + kEncoders.size());
    auto put = [&text](std::u16string_view s) {
        const WCHAR *start = text;
        std::memcpy(text, s.data(), s.size() * sizeof(WCHAR));
        text += s.size();
        *text++ = 0;
        return start;
    };
    for (size_t i = 0; i < kEncoders.size(); ++i) {
        const CodecText &c = kEncoders[i];
        ImageCodecInfo &info = encoders[i];
        info = ImageCodecInfo{};
        info.Clsid = c.clsid;
        info.FormatID = c.format;
        info.CodecName = put(c.name);
        info.DllName = nullptr;   // built into the library
        info.FormatDescription = put(c.description);
        info.FilenameExtension = put(c.extensions);
        info.MimeType = put(c.mime);
        info.Flags = kCodecFlags;
        info.Version = 1;
    }
    return Ok;
}

// ---------------------------------------------------------------- saving

GpStatus GdipSaveImageToFile(GpImage *image, const WCHAR *filename, const CLSID *encoder,
                             const EncoderParameters *params)
{
    lastSaveError = 0;
    GpStatus s = checkImage(image);
    if (s != Ok)
        return s;
    const CodecText *codec = encoderFor(encoder);
    if (!filename || !codec)
        return InvalidParameter;
    const SaveOptions options = readParams(params);
    if (options.status != Ok)
        return options.status;
    const QString path = QString::fromUtf16(filename);
    image->session.reset();   // saving again abandons a file this image had open

    if (!image->whole())
        return WrongState;
    const bool multiFrame = options.saveFlag == EncoderValueMultiFrame;
    if (codec->format == ImageFormatGIF)
        return startGif(*image, path, multiFrame);
    if (multiFrame)
        return NotImplemented;   // only GIF files take several frames here
    s = image->ensurePixels();
    if (s != Ok)
        return s;
    return codecs::encodeFile(image->pixels, path, codec->format, options.quality);
}

GpStatus GdipSaveAddImage(GpImage *image, GpImage *newImage, const EncoderParameters *params)
{
    lastSaveError = 0;
    GpStatus s = checkImage(image);
    if (s == Ok)
        s = checkImage(newImage);
    if (s != Ok)
        return s;
    const SaveOptions options = readParams(params);
    if (options.status != Ok)
        return options.status;
    if (options.saveFlag != EncoderValueFrameDimensionTime)
        return InvalidParameter;
    if (!image->session || !newImage->whole())
        return WrongState;
    s = newImage->ensurePixels();
    if (s != Ok)
        return s;
    const int delay = frameDelay(*image, *newImage, image->sessionFrames);
    s = noted(image->session->addFrame(takePixels(*newImage), delay), *image->session);
    if (s == Ok)
        ++image->sessionFrames;
    return s;
}

GpStatus GdipSaveAdd(GpImage *image, const EncoderParameters *params)
{
    lastSaveError = 0;
    GpStatus s = checkImage(image);
    if (s != Ok)
        return s;
    const SaveOptions options = readParams(params);
    if (options.status != Ok)
        return options.status;
    if (options.saveFlag != EncoderValueFlush)
        return InvalidParameter;
    if (!image->session)
        return WrongState;
    std::unique_ptr<gif::GifWriter> writer = std::move(image->session);
    image->sessionFrames = 0;
    return noted(writer->finish(), *writer);
}

int lastSystemError() { return lastSaveError; }

// ---------------------------------------------------------------- drawing

GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics **graphics)
{
    if (!started())
        return GdiplusNotInitialized;
    if (!hdc || hdc->isNull() || !graphics)
        return InvalidParameter;
    auto g = std::make_unique<GpGraphics>();
    g->device = hdc;
    *graphics = lib().graphics.add(std::move(g));
    return Ok;
}

GpStatus GdipDeleteGraphics(GpGraphics *graphics)
{
    const GpStatus s = checkGraphics(graphics);
    if (s == Ok)
        lib().graphics.remove(graphics);
    return s;
}

GpStatus GdipSetInterpolationMode(GpGraphics *graphics, InterpolationMode mode)
{
    const GpStatus s = checkGraphics(graphics);
    if (s != Ok)
        return s;
    if (mode < InterpolationModeDefault || mode > InterpolationModeHighQualityBicubic)
        return InvalidParameter;
    graphics->mode = mode;
    return Ok;
}

GpStatus GdipDrawImageRectI(GpGraphics *graphics, GpImage *image, int x, int y, int width,
                            int height)
{
    return drawImage(graphics, image, DrawRect{x, y, width, height}, std::nullopt);
}

GpStatus GdipDrawImageRectRectI(GpGraphics *graphics, GpImage *image, int dstx, int dsty,
                                int dstwidth, int dstheight, int srcx, int srcy, int srcwidth,
                                int srcheight, Unit srcUnit, const void *imageAttributes,
                                void *callback, void *callbackData)
{
    Q_UNUSED(callbackData);
    if (srcUnit != UnitPixel || imageAttributes || callback)
        return NotImplemented;
    return drawImage(graphics, image, DrawRect{dstx, dsty, dstwidth, dstheight},
                     QRect(srcx, srcy, srcwidth, srcheight));
}

} // namespace platform::gdiplus
