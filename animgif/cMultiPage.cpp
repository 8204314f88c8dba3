#include "animgif/cMultiPage.h"
#include "animgif/AnimGifRules.h"
#include "animgif/cBitmap.h"
#include "animgif/cGDIP.h"
#include "platform/Decoder.h"
#include "platform/Files.h"
#include "platform/GdiPlusCodecs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace gp = platform::gdiplus;

namespace {

const QString kClassName = QStringLiteral("cMultiPage");

// A new file in the target's folder that the GIF is written to before it replaces the
// target. It gets the target's permissions, or those a new file would get. A failure is told
// as one to write the target: the temporary file is the program's own business.
// Where the folder's file system allows it the file has no name (`unnamed` is its descriptor
// and `temporary` the path that opens it again), so that a build killed part way leaves
// nothing; elsewhere it has a hidden one that the next build clears.
gp::GpStatus createTemporary(const QString &target, QString &temporary, int &unnamed,
                             std::optional<platform::AppError> &why)
{
    const QFileInfo info(target);
    struct stat st;
    const mode_t mode = ::stat(QFile::encodeName(target).constData(), &st) == 0
        ? st.st_mode & 07777
        : mode_t(platform::newFileMode());
    unnamed = platform::openUnnamedFile(info.absolutePath());
    if (unnamed >= 0) {
        ::fchmod(unnamed, mode);
        temporary = QFile::decodeName(platform::unnamedFilePath(unnamed));
        return gp::Ok;
    }
    if (!platform::unnamedUnsupported(errno)) {
        const int e = errno;
        why = platform::systemError(e, platform::ErrorKind::CannotWrite, target);
        return platform::gdiplus::codecs::statusFromErrno(e);
    }
    // A build that was killed left its file behind: it goes before this one writes.
    platform::removeStaleTemporaries(info.absolutePath());
    QTemporaryFile file(info.absolutePath() + QLatin1Char('/') + platform::ownTemporaryPrefix() +
                        info.fileName() + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(false);
    errno = 0;
    if (!file.open()) {
        const int e = errno;
        if (e == 0) {
            why = platform::AppError(platform::ErrorKind::CannotWrite, {target}, file.errorString());
            return gp::AccessDenied;
        }
        why = platform::systemError(e, platform::ErrorKind::CannotWrite, target);
        return platform::gdiplus::codecs::statusFromErrno(e);
    }
    temporary = file.fileName();
    file.close();
    ::chmod(QFile::encodeName(temporary).constData(), mode);
    return gp::Ok;
}

// Why a picture could not become a frame. The library's status only says that its load
// failed; the decoder, asked again, says why. A picture that decodes failed in the scaling
// after it.
platform::AppError frameError(const QString &path, gp::GpStatus status)
{
    namespace decoder = platform::decoder;
    const decoder::Decoded d = decoder::decode(path);
    if (d.failure != decoder::Failure::None)
        return decoder::errorOf(d, path);
    if (status == gp::OutOfMemory)
        return platform::AppError(platform::ErrorKind::OutOfMemory, {path});
    return platform::AppError(platform::ErrorKind::InvalidPicture, {path}, cGDIP::StatusText(status));
}

} // namespace

platform::AppError cMultiPage::FailureError() const
{
    using platform::AppError;
    using platform::ErrorKind;
    if (!failedFrame_.isEmpty())
        return frameError(failedFrame_, failure_);
    if (targetError_)
        return *targetError_;
    if (failure_ == gp::GdiplusNotInitialized)
        return AppError(ErrorKind::ImagingFailed, {}, cGDIP::StatusText(failure_), kClassName)
            .withNumber(failure_);
    // The library's status is all that is known of a save that failed.
    return AppError(ErrorKind::CannotWrite, {target_}, cGDIP::StatusText(failure_), kClassName);
}

QString cMultiPage::GetExtension(const QString &sPath)
{
    const qsizetype dot = sPath.lastIndexOf(u'.');
    if (dot < 0 || sPath.indexOf(u'/', dot) >= 0)
        return QString();
    return sPath.mid(dot + 1);
}

bool cMultiPage::FileExists(const QString &sPath)
{
    return !sPath.isEmpty() && QFileInfo::exists(sPath);
}

bool cMultiPage::SaveMultipageGif(const QStringList &sFilenames, std::span<const qint32> lDelays,
                                  const QString &sTargetFilename, cGDIP *gdip, qint32 lLoopCount)
{
    failure_ = gp::Ok;
    failedFrame_.clear();
    target_ = sTargetFilename;
    targetError_.reset();
    if (IsArrayEmpty(sFilenames)) {
        failure_ = gp::InvalidParameter;
        return false;
    }
    std::vector<std::unique_ptr<cBitmap>> frames(size_t(sFilenames.size()));

    if (!gdip || !gdip->started()) {
        failure_ = gp::GdiplusNotInitialized;
        return false;
    }
    const qint32 encoder = gdip->ExtensionExists(QStringLiteral("*.") + GetExtension(sTargetFilename));
    if (encoder == -1) {
        failure_ = gp::UnknownImageFormat;
        return false;
    }
    const gp::CLSID clsid = gdip->EncoderClsid(encoder);
    std::uint32_t flag = 0;
    gp::EncoderParameters params{};
    params.Count = 1;
    params.Parameter[0].Guid = cGDIP::GuidFromString(QStringLiteral("{292266FC-AC40-47BF-8CFC-A85B89A655DE}"));
    params.Parameter[0].NumberOfValues = 1;
    params.Parameter[0].Type = gp::EncoderParameterValueTypeLong;
    params.Parameter[0].Value = &flag;

    auto fail = [this](gp::GpStatus s) {
        if (failure_ == gp::Ok)
            failure_ = s;
    };
    // A write the system refused (a full disk, say) is told with the system's reason, which
    // the library's status alone does not carry.
    auto failSaving = [&](gp::GpStatus s) {
        if (s == gp::Win32Error && failure_ == gp::Ok && !targetError_)
            if (const int e = gp::lastSystemError())
                targetError_ = platform::systemError(e, platform::ErrorKind::CannotWrite, sTargetFilename);
        fail(s);
    };
    QString temporary;
    int unnamed = -1;
    auto stopAsked = [this] { return shouldStop && shouldStop(); };
    for (qsizetype i = 0; i < sFilenames.size(); ++i) {
        if (i > 0 && stopAsked()) {
            fail(gp::Aborted);
            break;
        }
        if (onFrame)
            onFrame(i, sFilenames.size(), sFilenames[i]);
        auto &frame = frames[size_t(i)];
        frame = std::make_unique<cBitmap>();
        frame->setGdip(gdip);
        gp::GpStatus loaded = frame->LoadFromFile(sFilenames[i]);
        if (loaded == gp::Ok) {
            const QSize size(frame->Width(), frame->Height());
            const QSize fitted = animgif::fitWithin(size, fitBox);
            if (fitted != size)
                loaded = frame->CreateThumbFromImage(fitted.width(), fitted.height(), frame->Handle());
        }
        if (loaded != gp::Ok) {
            // A GIF without one of the listed pictures is not the GIF the user asked for:
            // the build stops, the old file stays and the picture is named.
            failedFrame_ = sFilenames[i];
            fail(loaded);
            break;
        }
        if (i == 0) {
            flag = gp::EncoderValueMultiFrame;
            // The old file stays untouched until the new one is complete; only one that the
            // user may not change is refused outright.
            gp::GpStatus s = gp::Ok;
            if (FileExists(sTargetFilename)) {
                const QFileInfo info(sTargetFilename);
                if (!info.isFile()) {
                    s = gp::AccessDenied;
                    targetError_ = platform::AppError(platform::ErrorKind::NotAFile, {sTargetFilename});
                } else if (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner)) {
                    s = gp::AccessDenied;
                    targetError_ = platform::AppError(platform::ErrorKind::PermissionDenied, {sTargetFilename});
                }
            }
            if (s == gp::Ok)
                s = createTemporary(sTargetFilename, temporary, unnamed, targetError_);
            if (s != gp::Ok) {
                gdip->error(s, kClassName);
                fail(s);
                break;
            }
            frame->SetPropertyItemArray(gp::PropertyTagFrameDelay, lDelays);
            frame->SetPropertyItem(gp::PropertyTagLoopCount, gp::PropertyTagTypeShort, lLoopCount);
            s = frame->SaveToFile(temporary, clsid, &params);
            if (s != gp::Ok) {
                failSaving(s);
                break;
            }
        } else {
            flag = gp::EncoderValueFrameDimensionTime;
            const gp::GpStatus s = frames[0]->SaveAddImage(frame->Handle(), &params);
            if (s != gp::Ok) {
                failSaving(s);
                break;
            }
        }
    }

    flag = gp::EncoderValueFlush;
    const gp::GpStatus flushed = frames[0]->SaveAdd(&params);
    bool ok = flushed == gp::Ok && failure_ == gp::Ok;
    if (ok && stopAsked()) {
        fail(gp::Aborted);
        ok = false;
    }
    // The finished file takes the target's name, replacing the old one.
    auto named = [&]() -> int {
        if (unnamed < 0)
            return std::rename(QFile::encodeName(temporary).constData(),
                               QFile::encodeName(sTargetFilename).constData()) == 0 ? 0 : errno;
        return platform::nameUnnamedFile(unnamed, sTargetFilename);
    };
    if (!ok) {
        failSaving(flushed);
    } else if (const int e = named()) {
        targetError_ = platform::systemError(e, platform::ErrorKind::CannotWrite, sTargetFilename);
        const gp::GpStatus s = platform::gdiplus::codecs::statusFromErrno(e);
        gdip->error(s, kClassName);
        fail(s);
        ok = false;
    }
    if (unnamed >= 0)
        ::close(unnamed);   // unnamed still unless named above: the system drops it
    else if (!ok && !temporary.isEmpty())
        QFile::remove(temporary);   // ours: made above, never the user's file
    frames.clear();
    return ok;
}
