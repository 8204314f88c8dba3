#include "tools/OwnSize.h"

#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "platform/Limits.h"
#include "tools/PictureRun.h"

namespace tools {

namespace {

bool tooLarge(QSize s) { return qint64(s.width()) * s.height() > platform::limits::kMaxOwnSizePixels; }

} // namespace

bool tooLargeForOwnSize(const QString &path)
{
    platform::decoder::Hints headerOnly;
    headerOnly.drawnSize = [](QSize) { return QSize(1, 1); };
    return tooLarge(platform::decoder::decode(path, headerOnly).original);
}

platform::Picture loadOwnSizePicture(const PictureRun &run)
{
    const QString path = run.curdir + run.curfile;
    // Too large a picture is decoded as small as the decoder offers: only its size is needed.
    QSize own;
    platform::Picture picture;
    try {
        picture = platform::loadPicture(path, [&](QSize original) {
            own = original;
            return tooLarge(original) ? QSize(1, 1) : original;
        });
        own = picture.pixelSize();
    } catch (const platform::AppError &) {
        // Whatever else is wrong with it, a picture too large is told as such.
        if (!tooLarge(own))
            throw;
    }
    if (tooLarge(own))
        throw platform::AppError(platform::ErrorKind::TooLargeForOwnSize,
                                 {path, QString::number(own.width()), QString::number(own.height()),
                                  QString::number(platform::limits::kMaxOwnSizePixels)},
                                 {}, QStringLiteral("OwnSize"));
    return picture;
}

void paintAtOwnSize(platform::Surface &surface, platform::Picture picture)
{
    const QSize own = picture.pixelSize();
    surface.setBorder(false);
    surface.setScaleMode(platform::ScaleMode::Pixels);
    surface.setAutoRedraw(true);
    if (QImage image = picture.image(); image.format() == QImage::Format_RGB32 && image.size() == own) {
        // Painted over the background it would come out the same, pixel for pixel: a
        // photograph is not held twice for that.
        picture = platform::Picture();
        surface.adoptImage(std::move(image));
        return;
    }
    surface.clearPicture();
    surface.setOuterSize(own.width(), own.height(), platform::ScaleMode::Pixels);
    surface.paintPicture(picture, 0, 0, own.width(), own.height());
}

QSizeF ownSizeFactor(const platform::Surface &preview, const platform::Picture &picture)
{
    const QSize own = picture.pixelSize();
    return {double(own.width()) / std::max(1, preview.innerWidthPx()),
            double(own.height()) / std::max(1, preview.innerHeightPx())};
}

} // namespace tools
