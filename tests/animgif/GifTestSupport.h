#pragma once
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <cmath>
#include <gif_lib.h>
#include <optional>
#include <vector>

// Reading GIF files back with giflib's own decoder, independent of the writer under test.
namespace giftest {

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    int delayCs = -1;               // -1 when the frame has no control block
    int transparentIndex = -1;
    int disposal = 0;
    QImage image;                   // the frame's pixels as RGB (transparent pixels: alpha 0)
    std::vector<GifByteType> indices;
};

struct File {
    bool ok = false;
    QByteArray version;             // "GIF89a", from the file's first bytes
    int width = 0, height = 0;
    std::optional<int> loopCount;   // from the NETSCAPE2.0 extension
    std::vector<Frame> frames;
};

inline File readGif(const QString &path)
{
    File out;
    int err = 0;
    GifFileType *gif = DGifOpenFileName(QFile::encodeName(path).constData(), &err);
    if (!gif)
        return out;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &err);
        return out;
    }
    {
        // DGifGetGifVersion reads the wrong byte in this giflib and always says 87a.
        QFile raw(path);
        if (raw.open(QIODevice::ReadOnly))
            out.version = raw.read(6);
    }
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &s = gif->SavedImages[i];
        for (int e = 0; e + 1 < s.ExtensionBlockCount; ++e) {
            const ExtensionBlock &b = s.ExtensionBlocks[e];
            const ExtensionBlock &next = s.ExtensionBlocks[e + 1];
            if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11
                && QByteArray(reinterpret_cast<const char *>(b.Bytes), 11) == "NETSCAPE2.0"
                && next.ByteCount >= 3 && next.Bytes[0] == 1)
                out.loopCount = next.Bytes[1] | (next.Bytes[2] << 8);
        }
        Frame f;
        f.left = s.ImageDesc.Left;
        f.top = s.ImageDesc.Top;
        f.width = s.ImageDesc.Width;
        f.height = s.ImageDesc.Height;
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
            f.delayCs = gcb.DelayTime;
            f.transparentIndex = gcb.TransparentColor;
            f.disposal = gcb.DisposalMode;
        }
        const ColorMapObject *map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
        f.image = QImage(f.width, f.height, QImage::Format_ARGB32);
        f.indices.assign(s.RasterBits, s.RasterBits + size_t(f.width) * size_t(f.height));
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const int idx = s.RasterBits[y * f.width + x];
                if (idx == f.transparentIndex || !map || idx >= map->ColorCount) {
                    f.image.setPixel(x, y, qRgba(0, 0, 0, 0));
                } else {
                    const GifColorType &c = map->Colors[idx];
                    f.image.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
                }
            }
        out.frames.push_back(std::move(f));
    }
    DGifCloseFile(gif, &err);
    out.ok = true;
    return out;
}

// What a viewer shows after each frame: every frame drawn at its place over what the one
// before left, after that one's disposal (1 keep, 2 clear to transparent, 3 back to before it).
inline std::vector<QImage> composeFrames(const File &gif)
{
    std::vector<QImage> shown;
    QImage screen(gif.width, gif.height, QImage::Format_ARGB32);
    screen.fill(Qt::transparent);
    for (const Frame &f : gif.frames) {
        const QImage before = screen;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const QRgb p = f.image.pixel(x, y);
                if (qAlpha(p) != 0 && f.left + x < gif.width && f.top + y < gif.height)
                    screen.setPixel(f.left + x, f.top + y, p);
            }
        shown.push_back(screen);
        if (f.disposal == DISPOSE_BACKGROUND)
            for (int y = 0; y < f.height; ++y)
                for (int x = 0; x < f.width; ++x)
                    if (f.left + x < gif.width && f.top + y < gif.height)
                        screen.setPixel(f.left + x, f.top + y, qRgba(0, 0, 0, 0));
        if (f.disposal == DISPOSE_PREVIOUS)
            screen = before;
    }
    return shown;
}

// Peak signal-to-noise ratio of b against a, over the colour channels (same sizes).
inline double psnr(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double se = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c) {
            const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
            const int d[3] = {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)};
            se += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    const double mse = se / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Mean of |a - b| over the colour channels of two images of the same size.
inline double meanAbsDiff(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size() || x.isNull())
        return 1e9;
    double sum = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c) {
            const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

// A picture with gradients and edges, so that a palette of a few colours would not do.
inline QImage gradientPicture(int w, int h, int seed = 0)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 255 / std::max(1, w - 1) + seed * 40) % 256,
                                    (y * 255 / std::max(1, h - 1) + seed * 90) % 256,
                                    ((x + y) * 4 + seed * 25) % 256));
    return img;
}

inline QImage solidPicture(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// A one-frame GIF of one colour written by giflib itself (Qt has no GIF writer).
inline bool writeSolidGif(const QString &path, int w, int h, QRgb colour)
{
    int err = 0;
    GifFileType *gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &err);
    if (!gif)
        return false;
    GifColorType colours[2] = {{GifByteType(qRed(colour)), GifByteType(qGreen(colour)), GifByteType(qBlue(colour))}, {0, 0, 0}};
    ColorMapObject *map = GifMakeMapObject(2, colours);
    std::vector<GifPixelType> row(size_t(w), 0);
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK
        && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, row.data(), w) == GIF_OK;
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &err) == GIF_OK && ok;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace giftest
