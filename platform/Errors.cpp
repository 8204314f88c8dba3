#include "platform/Errors.h"

#include "platform/Files.h"
#include "shell/Texts.h"

#include <QDir>
#include <cerrno>
#include <cstring>

namespace platform {
namespace {

qint64 numberFor(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::FileNotFound: return err::FileNotFound;
    case ErrorKind::PathNotFound: return err::PathNotFound;
    case ErrorKind::PermissionDenied: return err::PermissionDenied;
    case ErrorKind::NotAFile: return err::NotAFile;
    case ErrorKind::InvalidPicture:
    case ErrorKind::DamagedPicture:
    case ErrorKind::PictureTooLarge:
    case ErrorKind::TooLargeForOwnSize:
    case ErrorKind::TooThin:
    case ErrorKind::TooThinToTurn: return err::InvalidPicture;
    case ErrorKind::OutOfMemory: return err::OutOfMemory;
    case ErrorKind::FileExists: return err::FileAlreadyExists;
    default: return err::DeviceIO;
    }
}

} // namespace

AppError::AppError(qint64 number, QString source, QString description)
    : number_(number), source_(std::move(source)), fixed_(std::move(description))
{
}

AppError::AppError(ErrorKind kind, QStringList args, QString reason, QString source)
    : kind_(kind), number_(numberFor(kind)), source_(std::move(source)), reason_(std::move(reason))
{
    // Paths are shown as the user sees them, bytes that are not UTF-8 as "\xNN".
    for (QString &a : args)
        args_ << QDir::toNativeSeparators(shownPath(a));
}

QString AppError::description() const
{
    if (kind_ == ErrorKind::Described)
        return fixed_;
    return shell::describeError(*this);
}

const char *AppError::what() const noexcept
{
    try {
        what_ = description().toUtf8();
    } catch (...) {
        return "error";
    }
    return what_.constData();
}

AppError AppError::about(const QString &file) const
{
    if (kind_ == ErrorKind::Described || args_.isEmpty())
        return *this;
    AppError e = *this;
    e.args_[0] = QDir::toNativeSeparators(shownPath(file));
    return e;
}

AppError systemError(int e, ErrorKind otherwise, const QString &path, const QString &source)
{
    ErrorKind kind = otherwise;
    switch (e) {
    // A missing name: the file itself, or for a new file the folder it goes into.
    case ENOENT:
        kind = otherwise == ErrorKind::CannotWrite ? ErrorKind::PathNotFound : ErrorKind::FileNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS: kind = ErrorKind::PermissionDenied; break;
    case ENOTDIR: kind = ErrorKind::PathNotFound; break;
    case EEXIST: kind = ErrorKind::FileExists; break;
    case ENOMEM: kind = ErrorKind::OutOfMemory; break;
    default: break;
    }
    // A refused permission or a missing folder says so itself; other kinds keep the reason.
    const QString reason = kind == otherwise ? QString::fromLocal8Bit(std::strerror(e)) : QString();
    return AppError(kind, {path}, reason, source);
}

} // namespace platform
