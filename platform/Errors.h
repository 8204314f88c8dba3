#pragma once
#include <QString>
#include <QStringList>
#include <exception>

namespace platform {

// What went wrong, one code per kind of failure. Each kind's text is in the catalogue, in
// both languages, and is looked up when the error is shown; the system's own reason ("No
// space left on device") travels along. Errors.cpp holds the one table of kinds: number,
// catalogue key and source.
enum class ErrorKind {
    Described,        // an error whose description was given where it was raised
    FileNotFound,     // %1 the file
    PathNotFound,     // %1 the folder
    PermissionDenied, // %1 the file or folder
    NotAFile,         // %1 a FIFO, device or folder where a file was expected
    InvalidPicture,   // %1 the file
    DamagedPicture,   // %1 the file: filled in by the decoder
    PictureCutShort,  // %1 the file: it ends before the picture does
    PictureTooLarge,  // %1 the file, %2 × %3 its pixels
    TooLargeForOwnSize,  // %1 the file, %2 × %3 its pixels, %4 the most an output may have
    OutOfMemory,      // %1 the file
    CannotRead,       // %1 the file
    CannotWrite,      // %1 the file the user will look for (the output, not a temporary)
    CannotDelete,     // %1 the file
    CannotRename,     // %1 the file, %2 its new name
    FileExists,       // %1 the name that is taken
    NoFreeName,       // %1 the wanted name, %2 the folder
    TooThin,          // %1 the file, %2 × %3 its pixels
    TooThinToTurn,    // %1 the file, %2 × %3 its pixels
    MarkNotDrawn,     // %1 the file the mark was to go on
    MarkNoRoom,       // %1 the file no size of the mark fits on
    NameNotUtf8,      // %1 the file, its name's stray bytes shown as \xNN: left out of the run
    ImagingFailed,    // no values: the imaging library failed; its status text is the reason
    // The scaled loader's and the pixel helper's errors: their texts are the same in both
    // languages, as these have always been given.
    PictureNotLoaded,   // %1 the picture the scaled loader could not load
    BitsPerPixel,       // %1 the pixel format code the pixel grid does not know
    PaletteNotMatched,  // the surface's palette could not be resized to the system's
    // A new kind goes above this line, with a row in Errors.cpp's table and a text in the
    // catalogue.
};
inline constexpr int kErrorKindCount = int(ErrorKind::PaletteNotMatched) + 1;

// An error raised by an operation: a kind, the files and values its text names and the
// system's reason. The description is made when it is shown, so it is in the language of
// that moment. An error may instead carry a number, a source and a description given where it
// was raised (ErrorKind::Described).
class AppError : public std::exception {
public:
    AppError(qint64 number, QString source, QString description);
    // Without a source, the kind's own (where the table gives one).
    AppError(ErrorKind kind, QStringList args, QString reason = {}, QString source = {});

    ErrorKind kind() const { return kind_; }
    qint64 number() const { return number_; }
    const QString &source() const { return source_; }
    // The files and values the text names (%1, %2, ...), and the system's reason.
    const QStringList &args() const { return args_; }
    const QString &reason() const { return reason_; }
    // The text shown to the user.
    QString description() const;
    const char *what() const noexcept override;

    // The same error about another file: a step that worked on a temporary file reports the
    // file the user knows. For the kinds whose first value (%1) is a file.
    AppError about(const QString &file) const;
    // The same error under another number: a library's failure keeps the library's status.
    AppError withNumber(qint64 number) const;

private:
    ErrorKind kind_ = ErrorKind::Described;
    qint64 number_ = 0;
    QString source_;
    QStringList args_;
    QString reason_;
    QString fixed_;   // the given description (ErrorKind::Described)
    mutable QByteArray what_;
};

// The kind a failed system call's errno `e` stands for (a missing file, a refused permission),
// or `otherwise`.
ErrorKind kindForErrno(int e, ErrorKind otherwise);
// The error for a failed system call on `path`, from errno `e`: the kind it maps to or
// `otherwise`, with the system's reason.
AppError systemError(int e, ErrorKind otherwise, const QString &path, const QString &source = {});

// The catalogue's text under `key`, in the session's language. The catalogue lives above this
// layer, which is handed the lookup once at start-up (shell::installCatalogue), before any
// other thread starts.
using TextLookup = QString (*)(const char *key);
void setTextLookup(TextLookup lookup);
// The catalogue key of a kind's text; nullptr for ErrorKind::Described.
const char *textKey(ErrorKind kind);

// Error numbers: the toolkit's own run-time errors, and those of the scaled loader and the
// pixel helper.
namespace err {
constexpr qint64 FileNotFound = 53;
constexpr qint64 PermissionDenied = 70;
constexpr qint64 PathNotFound = 76;
constexpr qint64 InvalidPicture = 481;
constexpr qint64 OutOfMemory = 7;
constexpr qint64 DeviceIO = 57;
constexpr qint64 FileAlreadyExists = 58;
// A folder, FIFO or device where a file is expected.
constexpr qint64 NotAFile = 75;
constexpr qint64 PictureNotLoaded = 999;
// The application error base, and the pixel helper's two numbers above it.
constexpr qint64 AppErrorBase = 0x80040000;
constexpr qint64 BitsPerPixel = AppErrorBase + 1001;
constexpr qint64 PaletteNotMatched = AppErrorBase + 1002;
} // namespace err

} // namespace platform
