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
    const QString source = QStringLiteral("LoadPicture");
    switch (d.failure) {
    case decoder::Failure::None:
        return Picture(std::move(d.image), d.original);
    case decoder::Failure::Missing:
        throw AppError(ErrorKind::FileNotFound, {path}, {}, source);
    case decoder::Failure::NotAFile:
        throw AppError(ErrorKind::NotAFile, {path}, {}, source);
    case decoder::Failure::Unreadable:
        throw AppError(ErrorKind::CannotRead, {path}, d.reason, source);
    case decoder::Failure::OutOfMemory:
        throw AppError(ErrorKind::OutOfMemory, {path}, {}, source);
    case decoder::Failure::TooLarge:
        throw AppError(ErrorKind::PictureTooLarge,
                       {path, QString::number(d.original.width()), QString::number(d.original.height())},
                       {}, source);
    case decoder::Failure::Damaged:
        throw AppError(ErrorKind::DamagedPicture, {path}, d.reason, source);
    case decoder::Failure::NotPicture:
        break;
    }
    throw AppError(ErrorKind::InvalidPicture, {path}, d.reason, source);
}

void savePicture(const QImage &source, const QString &path)
{
    // A surface's image is 32-bit RGB: its bytes in memory are already blue, green, red, so
    // the rows are copied without first converting the whole picture.
    const bool direct = source.format() == QImage::Format_RGB32 && QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    const QImage img = direct ? source : source.convertToFormat(QImage::Format_RGB888);
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
        if (direct) {
            for (int x = 0; x < w; ++x)
                std::memcpy(dst + 3 * x, src + 4 * x, 3);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    writeFile(path, out);
}

} // namespace platform
