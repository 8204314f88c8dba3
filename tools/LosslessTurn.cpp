#include "tools/LosslessTurn.h"

#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>

#include <memory>
#include <turbojpeg.h>

namespace tools {
namespace {

// The lossless operation that makes the stored pixels upright (`upright`, from the picture's
// EXIF orientation) and then turns them a quarter: one operation, so a phone photo stored
// sideways is turned without decoding as well. Each of the eight is a mirror left to right
// or none, followed by a number of clockwise quarter turns.
int combinedOperation(QImageIOHandler::Transformations upright, bool clockwise)
{
    struct Steps {
        bool mirror;
        int quarters;
    };
    Steps s{false, 0};
    switch (int(upright)) {
    case QImageIOHandler::TransformationMirror: s = {true, 0}; break;
    case QImageIOHandler::TransformationFlip: s = {true, 2}; break;
    case QImageIOHandler::TransformationRotate180: s = {false, 2}; break;
    case QImageIOHandler::TransformationRotate90: s = {false, 1}; break;
    case QImageIOHandler::TransformationMirrorAndRotate90: s = {true, 1}; break;
    case QImageIOHandler::TransformationFlipAndRotate90: s = {true, 3}; break;
    case QImageIOHandler::TransformationRotate270: s = {false, 3}; break;
    default: break;
    }
    s.quarters = (s.quarters + (clockwise ? 1 : 3)) % 4;
    static constexpr int kOperations[2][4] = {
        {TJXOP_NONE, TJXOP_ROT90, TJXOP_ROT180, TJXOP_ROT270},
        {TJXOP_HFLIP, TJXOP_TRANSVERSE, TJXOP_VFLIP, TJXOP_TRANSPOSE},
    };
    return kOperations[s.mirror ? 1 : 0][s.quarters];
}

} // namespace

QByteArray turnJpegLosslessly(const QString &path, bool clockwise)
{
    QImageIOHandler::Transformations upright;
    {
        QImageReader reader(path);
        if (reader.format() != "jpeg")
            return {};
        upright = reader.transformation();
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
    xform.op = combinedOperation(upright, clockwise);
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
