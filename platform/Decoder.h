#pragma once
#include "platform/Errors.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

// The one place where picture files from users' folders are decoded: the toolkit's picture
// loader and the imaging library stand-in both come here, so that they agree on which files
// are pictures, which are too large (platform/Limits.h) and which are damaged.
namespace platform::decoder {

enum class Failure {
    None,
    Missing,      // no such file
    NotAFile,     // a folder, a FIFO, a device: refused before it is opened for reading
    Unreadable,   // no permission, or the system refused to open it
    NotPicture,   // no decoder reads it
    TooLarge,     // a side or the pixel count over the limits
    Damaged,      // the decoder had to make up pixels the file lacks
    CutShort,     // the file ends before the picture does, as its own structure shows
    OutOfMemory,
};

struct Hints {
    // Given the picture's own size, the size it will be drawn at. A picture larger than that
    // is decoded reduced where the decoder offers it, never below that size.
    std::function<QSize(QSize original)> drawnSize;
    // Given the picture's own size, the part of it (in its own pixels) that can show at all;
    // the decoder may leave the rest out. Not combined with drawnSize.
    std::function<QRect(QSize original)> shownPart;
};

struct Decoded {
    Failure failure = Failure::None;
    QImage image;
    QSize original;      // the picture's own size, from its header
    QRect part;          // the part of the picture `image` holds (its whole rect unless shownPart)
    QByteArray format;   // "jpeg", "png", "bmp", "gif", "tiff", ...
    QString reason;      // why it failed, for the log; the decoder's or the system's words are
                         // shown to the user too
};

Decoded decode(const QString &path, const Hints &hints = {});

// What a failure is to the user, and the error that tells why `path` could not be decoded
// (d.failure not None): the file, the size it claims, the system's reason where it has one.
ErrorKind kindOf(Failure failure);
AppError errorOf(const Decoded &d, const QString &path, const QString &source = {});

// FreeImage reads every EXIF tag it knows of a TIFF file, and libtiff complains on standard
// error about each one it does not know; after this call those complaints go to the log.
void routeTiffMessages();

// True when a picture of w × h pixels is within the project's limits.
bool sizeAllowed(qint64 w, qint64 h);

} // namespace platform::decoder
