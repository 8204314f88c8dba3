#include "platform/Picture.h"
#include "platform/Files.h"

#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "platform/Toolkit.h"
#include "platform/Units.h"

#include <QFile>
#include <QDir>
#include <QSysInfo>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

double dpi(bool horizontal)
{
    ScreenMetrics m = toolkit().screen();
    return kTwipsPerInchD / (horizontal ? m.twipsPerPixelX : m.twipsPerPixelY);
}

} // namespace

Picture::Picture(QImage image, QSize originalPixels)
    : image_(std::move(image)), original_(originalPixels.isValid() ? originalPixels : image_.size())
{
}

int Picture::widthHimetric() const
{
    return static_cast<int>(roundHalfEven(pixelsToHimetric(original_.width(), true)));
}

int Picture::heightHimetric() const
{
    return static_cast<int>(roundHalfEven(pixelsToHimetric(original_.height(), false)));
}

double himetricToPixels(double himetric, bool horizontal)
{
    return himetric * dpi(horizontal) / kHimetricPerInch;
}

double pixelsToHimetric(double pixels, bool horizontal)
{
    return pixels * kHimetricPerInch / dpi(horizontal);
}

Picture loadPicture(const QString &path, const PaintSizeHint &hint)
{
    decoder::Hints hints;
    hints.drawnSize = hint;
    decoder::Decoded d = decoder::decode(path, hints);
    if (d.failure != decoder::Failure::None)
        throw decoder::errorOf(d, path, QStringLiteral("LoadPicture"));
    return Picture(std::move(d.image), d.original);
}

void savePicture(const QImage &source, const QString &path)
{
    savePicture(source.size(), bandsOf(source), path);
}

PictureBand bandsOf(const QImage &image)
{
    return [&image](int top, int rows) {
        // Rows are read in place; an indexed image keeps what a copy carries (its colour
        // table).
        if (image.colorCount() == 0)
            return QImage(image.constScanLine(top), image.width(), rows, image.bytesPerLine(),
                          image.format());
        return image.copy(0, top, image.width(), rows);
    };
}

void savePicture(QSize size, const PictureBand &band, const QString &path)
{
    const int w = size.width(), h = size.height();
    const int rowBytes = (w * 3 + 3) & ~3;
    const quint32 dataSize = quint32(rowBytes) * quint32(h);
    QByteArray header(54, '\0');
    uchar *p = reinterpret_cast<uchar *>(header.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(54 + dataSize, p + 2);
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(w, p + 18);
    qToLittleEndian<qint32>(h, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(24, p + 28);
    qToLittleEndian<quint32>(dataSize, p + 34);
    qToLittleEndian<qint32>(3780, p + 38);   // 96 dpi
    qToLittleEndian<qint32>(3780, p + 42);
    // A bitmap keeps its rows bottom-up: the bands are taken from the bottom.
    constexpr int kBandBytes = 1 << 20;
    const int bandRows = std::max(1, kBandBytes / std::max(1, rowBytes));
    int below = h;   // rows not yet written start above this one
    bool headerGiven = false;
    writeFile(path, [&]() -> QByteArray {
        if (!headerGiven) {
            headerGiven = true;
            return header;
        }
        if (below <= 0)
            return {};
        const int rows = std::min(bandRows, below);
        const int top = below - rows;
        below = top;
        // 32-bit RGB rows are already blue, green, red in memory: copied without converting.
        const QImage given = band(top, rows);
        const bool direct = given.format() == QImage::Format_RGB32 && QSysInfo::ByteOrder == QSysInfo::LittleEndian;
        const QImage img = direct ? given : given.convertToFormat(QImage::Format_RGB888);
        QByteArray out(qsizetype(rowBytes) * rows, '\0');
        for (int r = 0; r < rows; ++r) {
            const uchar *src = img.constScanLine(rows - 1 - r);
            uchar *dst = reinterpret_cast<uchar *>(out.data()) + qsizetype(r) * rowBytes;
            if (direct) {
                // Four bytes at a time, each pixel's spare byte overwritten by the next pixel;
                // the last pixel gives only its three.
                for (int x = 0; x + 1 < w; ++x)
                    std::memcpy(dst + 3 * x, src + 4 * x, 4);
                if (w > 0)
                    std::memcpy(dst + 3 * (w - 1), src + 4 * (w - 1), 3);
                continue;
            }
            for (int x = 0; x < w; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
        return out;
    });
}

} // namespace platform
