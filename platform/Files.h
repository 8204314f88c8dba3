#pragma once
#include <functional>
#include <QSet>
#include <QString>
#include <QStringList>

namespace platform {

// Plain files of a folder: regular files (a link to one counts), no folders, no hidden files
// (names beginning with "."), in case-insensitive name order. Throws AppError when the folder
// cannot be read.
QStringList listPlainFiles(const QString &folder);

// The plain files of a folder (as listPlainFiles counts them) whose names are not UTF-8: the
// program's paths cannot name them, so they are shown with each stray byte as "\xNN" and
// reported as left out. In the same order as listPlainFiles.
QStringList listNamesNotUtf8(const QString &folder);

// A listing taken once and walked entry by entry (first name, then the next ones, empty
// when exhausted). Taking the names up front means files written into the folder while it is
// walked are never visited. Files it cannot walk (names not UTF-8) are kept apart, so that
// whoever walks it reports them instead of passing over them.
class FolderListing {
public:
    FolderListing() = default;
    explicit FolderListing(const QString &folder)
        : names_(listPlainFiles(folder)), notUtf8_(listNamesNotUtf8(folder)) {}
    const QStringList &namesNotUtf8() const { return notUtf8_; }
    QString first() { pos_ = 0; return current(); }
    QString next() { if (pos_ < names_.size()) ++pos_; return current(); }
    QString current() const { return pos_ < names_.size() ? names_[pos_] : QString(); }
    const QStringList &names() const { return names_; }
    qsizetype position() const { return pos_; }
    void clear() { names_.clear(); notUtf8_.clear(); pos_ = 0; }

private:
    QStringList names_;
    QStringList notUtf8_;
    qsizetype pos_ = 0;
};

// ---- names exactly as the file system holds them
// A name is a run of bytes; the program's paths are text. A path decoded with
// pathFromNative carries each byte that is not part of valid UTF-8 as the lone surrogate
// U+DC00 + byte (U+DC80 to U+DCFF), which no valid name can hold, so that nativePath gives
// back exactly the bytes it came from. For UTF-8 names both are plain UTF-8 conversions.
QString pathFromNative(const QByteArray &bytes);
QByteArray nativePath(const QString &path);
// A path as the user reads it: each carried byte shown as "\xNN".
QString shownPath(const QString &path);
// Every plain file of a folder (as listPlainFiles counts them), names that are not UTF-8
// included and carried exactly, in the listing's order. Throws AppError like listPlainFiles.
QStringList listPlainFilesExact(const QString &folder);
// Every name the folder holds, whatever it names (hidden ones, folders, dangling links), read
// in one pass; empty when it cannot be read.
QSet<QString> folderEntryNames(const QString &folder);
// The listing's order: case-insensitive, names equal but for case in a fixed order.
void sortForListing(QStringList &names);
// The folder's real path (links resolved, no trailing separator but for "/"), or empty
// when it does not exist.
QString canonicalFolder(const QString &folder);
// True when the folder lies on a file system mounted read-only.
bool onReadOnlyFileSystem(const QString &folder);
// Writes a file of the program's own so that after a crash it holds either its old bytes or
// all of the new ones: a sibling is written and flushed to the disk, then takes the name,
// and the folder is flushed. Without `flush` the bytes may reach the disk later, still whole
// or not at all. Only for files the program made (it replaces `path`). Throws AppError
// (CannotWrite) with the system's reason.
void writeOwnFileDurably(const QString &path, const QByteArray &bytes, bool flush = true);
// Removes a file of the program's own and flushes its folder; a missing file is no error.
void removeOwnFileDurably(const QString &path);
// The folder where the program keeps its state between runs: $XDG_STATE_HOME/pixmar, or
// ~/.local/state/pixmar when that is unset or not an absolute path. Not created here.
QString stateFolder();

// True when `path` names a plain file (not a folder, not hidden).
bool isPlainFile(const QString &path);

// `folder` followed by the separator, unless it already ends in one.
QString withSeparator(const QString &folder);
// The extension of a file name: from its last "." to the end, lower-cased, dot included;
// empty when the name has no ".". Pictures are accepted or refused by it.
QString lowerExtension(const QString &fileName);

// Name part and folder part (folder keeps its trailing separator).
QString fileNamePart(const QString &path);
QString folderPart(const QString &path);

// Renames without ever replacing an existing file; throws AppError when the target name is
// taken or the rename fails.
void renameNoReplace(const QString &from, const QString &to);
// Deletes a file; throws AppError on failure.
void deleteFile(const QString &path);
// The permission bits a newly created file gets under the process's umask (rw for all,
// less the mask). Files first written under a private temporary name are given these when
// they take their real name.
unsigned newFileMode();

// Writes all of `bytes` to the open descriptor `fd` of `path`. Throws AppError (CannotWrite,
// or what the system's reason maps to) with the system's reason: a full disk says so.
void writeAll(int fd, const QByteArray &bytes, const QString &path);
// Creates or truncates `path` and writes `bytes` into it the same way.
void writeFile(const QString &path, const QByteArray &bytes);
// The same with the bytes handed over piece by piece, until `next` gives an empty one: a
// large file is written without all of it in memory at once.
void writeFile(const QString &path, const std::function<QByteArray()> &next);
// A name in `folder` that no file has, built from `stem` and `suffix` (stem + suffix, then
// stem + "~1" + suffix, ...).
QString freeFileName(const QString &folder, const QString &stem, const QString &suffix);

// The installation folder: $PIXMAR_HOME, else ../share/pixmar next to the binary, else the
// source tree's data folder.
QString installFolder();

// Temporary files the program writes beside its outputs are named "<this prefix><name>": a
// hidden name that says whose it is and which process made it, so that folder listings pass
// over it and a later run can tell a stale one from a file of the user's.
QString ownTemporaryPrefix();
// Removes the temporary files that runs which no longer exist left in `folder` (killed before
// they could clean up): only regular files of this user that carry the program's prefix with
// the number of a process that is gone. Returns how many it removed.
int removeStaleTemporaries(const QString &folder);
// Files written beside their outputs without a name: the system drops one the program has
// not named yet when it ends, killed or not. Opens one in `folder` for writing, or gives -1
// with errno set; unnamedUnsupported(errno) then says whether the folder's file system (or
// the system) has none, and a named temporary is the way instead.
int openUnnamedFile(const QString &folder);
bool unnamedUnsupported(int error);
// The path that opens the unnamed file `fd` again.
QByteArray unnamedFilePath(int fd);
// Gives the unnamed file `fd` the name `path`. Whatever stands at the name is replaced (a
// link is replaced, never written through). 0, or the system's error number; `fd` stays open.
int nameUnnamedFile(int fd, const QString &path);
// A path inside the installation folder, given with "/" separators ("bg/main2i.jpg").
QString installPath(const QString &relative);

} // namespace platform
