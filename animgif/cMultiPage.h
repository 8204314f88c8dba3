#pragma once
#include "platform/Errors.h"
#include "platform/GdiPlus.h"
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <span>

class cGDIP;

// Turns an ordered list of picture files into one animated GIF. Each picture is loaded as a
// cBitmap; the first one carries the delays and the loop count as image properties, opens the
// file with the multi-frame flag, the others are added in the time dimension, and a flush
// closes the file. A picture that cannot be loaded ends the build (reported through gdip, and
// named by FailedFrame).
//
// The new file is written next to the target under a temporary name and moved over the
// target only after the flush succeeded, so a failed build leaves an existing file as it was.
class cMultiPage {
public:
    using GpStatus = platform::gdiplus::GpStatus;

    // lDelays in hundredths of a second, entry k for the k-th frame written; lLoopCount 0
    // loops for ever. True when the file is complete and in place.
    bool SaveMultipageGif(const QStringList &sFilenames, std::span<const qint32> lDelays,
                          const QString &sTargetFilename, cGDIP *gdip, qint32 lLoopCount);

    // Why the last call returned false: the status that ended the build (the first picture's
    // load, the save or add that stopped the loop, the flush, or the file handling around
    // them). 0 after a successful call.
    GpStatus FailureStatus() const { return failure_; }

    // The picture whose load ended the last call, empty when no load failed.
    const QString &FailedFrame() const { return failedFrame_; }
    // Why the last call returned false, for the user: the picture that could not be loaded
    // (FailedFrame), the target that could not be written, or the library that was not
    // started; the system's or the library's reason along. Meant for a call that failed
    // without being stopped.
    platform::AppError FailureError() const;

    // Pictures larger than this box are scaled down to fit inside it, their proportions kept,
    // before they become frames. Empty (the default): every picture keeps its size.
    QSize fitBox;

    // Told of each picture before it is loaded (index from 0, count, path): long builds
    // show their progress with it.
    std::function<void(qsizetype, qsizetype, const QString &)> onFrame;
    // Asked between pictures and once more before the finished file replaces the target:
    // true abandons the build with Aborted, the temporary file removed and the target as it was.
    std::function<bool()> shouldStop;

private:
    static bool IsArrayEmpty(const QStringList &sFilenames) { return sFilenames.isEmpty(); }
    static QString GetExtension(const QString &sPath);
    static bool FileExists(const QString &sPath);

    GpStatus failure_ = 0;
    QString failedFrame_;
    QString target_;
    // A failure around the target whose cause is known better than the library's status says.
    std::optional<platform::AppError> targetError_;
};
