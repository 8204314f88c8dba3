#include "platform/Picture.h"
#include "platform/Files.h"

#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "platform/Toolkit.h"
#include "platform/Units.h"

#include <QFile>
#include <QDir>
#include <QtEndian>

namespace platform {
namespace {

double dpi(bool horizontal)
{
    ScreenMetrics m = toolkit().screen();
    return kTwipsPerInchD / (horizontal ? m.twipsPerPixelX : m.twipsPerPixelY);
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
    decoder::Hints hints;
    hints.drawnSize = hint;
    decoder::Decoded d = decoder::decode(path, hints);
    const QString shown = QDir::toNativeSeparators(path);
    switch (d.failure) {
    case decoder::Failure::None:
        return Picture(std::move(d.image), d.original);
    case decoder::Failure::Missing:
        throw AppError(err::FileNotFound, QStringLiteral("LoadPicture"),
                       QStringLiteral("File not found: %1").arg(shown));
    case decoder::Failure::NotAFile:
        throw AppError(err::NotAFile, QStringLiteral("LoadPicture"),
                       QStringLiteral("Not a file: %1").arg(shown));
    case decoder::Failure::Unreadable:
        throw AppError(err::PermissionDenied, QStringLiteral("LoadPicture"),
                       QStringLiteral("Cannot read %1 (%2)").arg(shown, d.reason));
    case decoder::Failure::OutOfMemory:
        throw AppError(err::OutOfMemory, QStringLiteral("LoadPicture"),
                       QStringLiteral("Out of memory reading %1").arg(shown));
    case decoder::Failure::TooLarge:
        invalidPicture(path, QStringLiteral("%1 × %2 pixels is too large")
                                 .arg(d.original.width())
                                 .arg(d.original.height()));
    case decoder::Failure::Damaged:
        invalidPicture(path, QStringLiteral("the picture is damaged: %1").arg(d.reason));
    case decoder::Failure::NotPicture:
        break;
    }
    invalidPicture(path, d.reason);
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
