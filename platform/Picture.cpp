#include "platform/Picture.h"
#include "platform/Files.h"

#include "platform/Errors.h"
#include "platform/Limits.h"
#include "platform/Toolkit.h"
#include "platform/Units.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QImageReader>
#include <QtEndian>

namespace platform {
namespace {

double dpi(bool horizontal)
{
    ScreenMetrics m = toolkit().screen();
    return kTwipsPerInchD / (horizontal ? m.twipsPerPixelX : m.twipsPerPixelY);
}

void ensureAllocationLimit()
{
    static const bool once = [] {
        QImageReader::setAllocationLimit(limits::kDecoderAllocationLimitMB);
        return true;
    }();
    (void)once;
}

// libjpeg decodes a truncated file without complaint, filling the missing part with grey;
// a picture that lacks its end-of-image marker is treated as broken instead.
bool jpegLooksTruncated(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kTail = 16 * 1024;
    qint64 size = f.size();
    f.seek(std::max<qint64>(0, size - kTail));
    QByteArray tail = f.readAll();
    return !tail.contains(QByteArray("\xFF\xD9", 2));
}

[[noreturn]] void invalidPicture(const QString &path, const QString &why = {})
{
    QString d = QStringLiteral("Invalid picture: %1").arg(QDir::toNativeSeparators(path));
    if (!why.isEmpty())
        d += QStringLiteral(" (%1)").arg(why);
    throw AppError(err::InvalidPicture, QStringLiteral("LoadPicture"), d);
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
    ensureAllocationLimit();
    QFileInfo info(path);
    if (!info.exists() || info.isDir())
        throw AppError(err::FileNotFound, QStringLiteral("LoadPicture"),
                       QStringLiteral("File not found: %1").arg(QDir::toNativeSeparators(path)));
    if (!info.isReadable())
        throw AppError(err::PermissionDenied, QStringLiteral("LoadPicture"),
                       QStringLiteral("Permission denied: %1").arg(QDir::toNativeSeparators(path)));

    QImageReader reader(path);
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        invalidPicture(path);
    const QSize original = reader.size();
    if (original.isValid()) {
        if (original.width() > limits::kMaxPictureSide || original.height() > limits::kMaxPictureSide ||
            qint64(original.width()) * original.height() > limits::kMaxPicturePixels)
            invalidPicture(path, QStringLiteral("%1 × %2 pixels is too large")
                                     .arg(original.width())
                                     .arg(original.height()));
    }
    const QByteArray format = reader.format();
    if ((format == "jpeg" || format == "jpg") && jpegLooksTruncated(path))
        invalidPicture(path, QStringLiteral("the file is truncated"));

    if (hint && original.isValid()) {
        QSize target = hint(original);
        if (target.isValid() && !target.isEmpty() && target.width() < original.width() &&
            target.height() < original.height())
            reader.setScaledSize(target);
    }
    QImage image = reader.read();
    if (image.isNull())
        invalidPicture(path, reader.errorString());
    return Picture(std::move(image), original.isValid() ? original : QSize());
}

void savePicture(const QImage &source, const QString &path)
{
    const QImage img = source.convertToFormat(QImage::Format_RGB888);
    const int w = img.width(), h = img.height();
    const int rowBytes = (w * 3 + 3) & ~3;
    const quint32 dataSize = quint32(rowBytes) * quint32(h);
    QByteArray out(54 + qsizetype(dataSize), '\0');
    uchar *p = reinterpret_cast<uchar *>(out.data());
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
    for (int y = 0; y < h; ++y) {
        const uchar *src = img.constScanLine(h - 1 - y);
        uchar *dst = p + 54 + qsizetype(y) * rowBytes;
        for (int x = 0; x < w; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    writeFile(path, out);
}

} // namespace platform
