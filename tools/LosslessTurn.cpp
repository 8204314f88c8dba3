#include "tools/LosslessTurn.h"

#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>

#include <memory>
#include <turbojpeg.h>

namespace tools {

QByteArray turnJpegLosslessly(const QString &path, bool clockwise)
{
    {
        // The stored pixels are not the upright picture: turning them would turn the wrong one.
        QImageReader reader(path);
        if (reader.format() != "jpeg" || reader.transformation() != QImageIOHandler::TransformationNone)
            return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray source = file.readAll();
    if (source.isEmpty())
        return {};
    struct Destroy {
        void operator()(void *h) const { tjDestroy(h); }
    };
    std::unique_ptr<void, Destroy> handle(tjInitTransform());
    if (!handle)
        return {};
    tjtransform xform{};
    xform.op = clockwise ? TJXOP_ROT90 : TJXOP_ROT270;
    xform.options = TJXOPT_PERFECT | TJXOPT_COPYNONE;
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    const int rc = tjTransform(handle.get(), reinterpret_cast<const unsigned char *>(source.constData()),
                               static_cast<unsigned long>(source.size()), 1, &out, &outSize, &xform, 0);
    QByteArray turned;
    if (rc == 0 && out && outSize > 0)
        turned = QByteArray(reinterpret_cast<const char *>(out), qsizetype(outSize));
    tjFree(out);
    return turned;
}

} // namespace tools
