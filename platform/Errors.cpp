#include "platform/Errors.h"

#include "platform/Files.h"

#include <QDir>
#include <QLoggingCategory>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>

Q_LOGGING_CATEGORY(lcErrors, "pixmar.errors")

namespace platform {
namespace {

struct KindRow {
    ErrorKind kind;
    qint64 number;
    const char *key;      // the catalogue's text
    const char *source;   // where no caller names one; nullptr: none
};

// Every kind, in the order of the enumeration.
constexpr KindRow kKinds[] = {
    {ErrorKind::Described, 0, nullptr, nullptr},
    {ErrorKind::FileNotFound, err::FileNotFound, "err.fileNotFound", nullptr},
    {ErrorKind::PathNotFound, err::PathNotFound, "err.pathNotFound", nullptr},
    {ErrorKind::PermissionDenied, err::PermissionDenied, "err.permissionDenied", nullptr},
    {ErrorKind::NotAFile, err::NotAFile, "err.notAFile", nullptr},
    {ErrorKind::InvalidPicture, err::InvalidPicture, "err.invalidPicture", nullptr},
    {ErrorKind::DamagedPicture, err::InvalidPicture, "err.damagedPicture", nullptr},
    {ErrorKind::PictureCutShort, err::InvalidPicture, "err.pictureCutShort", nullptr},
    {ErrorKind::PictureTooLarge, err::InvalidPicture, "err.pictureTooLarge", nullptr},
    {ErrorKind::TooLargeForOwnSize, err::InvalidPicture, "err.tooLargeForOwnSize", nullptr},
    {ErrorKind::OutOfMemory, err::OutOfMemory, "err.outOfMemory", nullptr},
    {ErrorKind::CannotRead, err::DeviceIO, "err.cannotRead", nullptr},
    {ErrorKind::CannotWrite, err::DeviceIO, "err.cannotWrite", nullptr},
    {ErrorKind::CannotDelete, err::DeviceIO, "err.cannotDelete", nullptr},
    {ErrorKind::CannotRename, err::DeviceIO, "err.cannotRename", nullptr},
    {ErrorKind::FileExists, err::FileAlreadyExists, "err.fileExists", nullptr},
    {ErrorKind::NoFreeName, err::DeviceIO, "err.noFreeName", nullptr},
    {ErrorKind::TooThin, err::InvalidPicture, "err.tooThin", nullptr},
    {ErrorKind::TooThinToTurn, err::InvalidPicture, "err.tooThinToTurn", nullptr},
    {ErrorKind::MarkNotDrawn, err::DeviceIO, "err.markNotDrawn", nullptr},
    {ErrorKind::MarkNoRoom, err::InvalidPicture, "err.markNoRoom", nullptr},
    {ErrorKind::NameNotUtf8, err::DeviceIO, "err.nameNotUtf8", nullptr},
    {ErrorKind::ImagingFailed, err::DeviceIO, "err.imagingFailed", nullptr},
    {ErrorKind::PictureNotLoaded, err::PictureNotLoaded, "err.pictureNotLoaded", "GDI+ Module"},
    // Both of the pixel helper's operations report a bad code under the reading one's name.
    {ErrorKind::BitsPerPixel, err::BitsPerPixel, "err.bitsPerPixel", "DDBHelper.GetBitmapPixels"},
    {ErrorKind::PaletteNotMatched, err::PaletteNotMatched, "err.paletteNotMatched", "DDBHelper.MatchColorPalette"},
};

constexpr bool inEnumerationOrder()
{
    for (std::size_t i = 0; i < std::size(kKinds); ++i)
        if (int(kKinds[i].kind) != int(i))
            return false;
    return std::size(kKinds) == std::size_t(kErrorKindCount);
}
static_assert(inEnumerationOrder(), "one row per ErrorKind, in the enumeration's order");

const KindRow &rowOf(ErrorKind kind) { return kKinds[std::size_t(kind)]; }

std::atomic<TextLookup> g_lookup{nullptr};

QString text(const char *key)
{
    if (const TextLookup lookup = g_lookup.load())
        return lookup(key);
    qCWarning(lcErrors) << "no catalogue was handed down for" << key;
    return QStringLiteral("[%1]").arg(QLatin1String(key));
}

} // namespace

void setTextLookup(TextLookup lookup) { g_lookup.store(lookup); }

const char *textKey(ErrorKind kind) { return rowOf(kind).key; }

AppError::AppError(qint64 number, QString source, QString description)
    : number_(number), source_(std::move(source)), fixed_(std::move(description))
{
}

AppError::AppError(ErrorKind kind, QStringList args, QString reason, QString source)
    : kind_(kind), number_(rowOf(kind).number), source_(std::move(source)), reason_(std::move(reason))
{
    if (source_.isEmpty() && rowOf(kind).source)
        source_ = QString::fromUtf8(rowOf(kind).source);
    // Paths are shown as the user sees them, bytes that are not UTF-8 as "\xNN".
    for (QString &a : args)
        args_ << QDir::toNativeSeparators(shownPath(a));
}

QString AppError::description() const
{
    if (kind_ == ErrorKind::Described)
        return fixed_;
    QString out = text(rowOf(kind_).key);
    // One pass over all the values, so a file name holding "%2" is shown as it is.
    const QStringList &a = args_;
    switch (a.size()) {
    case 0: break;
    case 1: out = out.arg(a[0]); break;
    case 2: out = out.arg(a[0], a[1]); break;
    case 3: out = out.arg(a[0], a[1], a[2]); break;
    default: out = out.arg(a[0], a[1], a[2], a[3]); break;
    }
    if (!reason_.isEmpty())
        out += text("err.reason").arg(reason_);
    return out;
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

AppError AppError::withNumber(qint64 number) const
{
    AppError e = *this;
    e.number_ = number;
    return e;
}

ErrorKind kindForErrno(int e, ErrorKind otherwise)
{
    switch (e) {
    // A missing name: the file itself, or for a new file the folder it goes into.
    case ENOENT:
        return otherwise == ErrorKind::CannotWrite ? ErrorKind::PathNotFound : ErrorKind::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return ErrorKind::PermissionDenied;
    case ENOTDIR: return ErrorKind::PathNotFound;
    case EISDIR: return ErrorKind::NotAFile;
    case EEXIST: return ErrorKind::FileExists;
    case ENOMEM: return ErrorKind::OutOfMemory;
    default: return otherwise;
    }
}

AppError systemError(int e, ErrorKind otherwise, const QString &path, const QString &source)
{
    const ErrorKind kind = kindForErrno(e, otherwise);
    // A refused permission or a missing folder says so itself; other kinds keep the reason.
    const QString reason = kind == otherwise ? QString::fromLocal8Bit(std::strerror(e)) : QString();
    return AppError(kind, {path}, reason, source);
}

} // namespace platform
