#include "platform/Files.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#include <sys/syscall.h>
#include <csignal>
#include <climits>
#include <QRegularExpression>

namespace platform {

void sortForListing(QStringList &names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

namespace {

int renameNoReplaceRaw(const QByteArray &from, const QByteArray &to)
{
#ifdef SYS_renameat2
    int r = static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from.constData(), AT_FDCWD,
                                     to.constData(), RENAME_NOREPLACE));
    if (r == 0 || (errno != ENOSYS && errno != EINVAL))
        return r;
#endif
    // File systems without renameat2: a hard link fails when the name is taken.
    if (::link(from.constData(), to.constData()) != 0)
        return -1;
    if (::unlink(from.constData()) != 0) {
        int saved = errno;
        ::unlink(to.constData());
        errno = saved;
        return -1;
    }
    return 0;
}

} // namespace

QStringList listPlainFiles(const QString &folder)
{
    QFileInfo fi(folder);
    if (!fi.exists() || !fi.isDir())
        throw AppError(ErrorKind::PathNotFound, {folder}, {}, QStringLiteral("Dir"));
    QDir dir(folder);
    if (!fi.isReadable() || !fi.isExecutable())
        throw AppError(ErrorKind::PermissionDenied, {folder}, {}, QStringLiteral("Dir"));
    // QDir::Files follows links to files and leaves out dangling ones; hidden names are left out.
    QStringList names = dir.entryList(QDir::Files, QDir::NoSort);
    sortForListing(names);
    return names;
}

QStringList listNamesNotUtf8(const QString &folder)
{
    QStringList names;
    try {
        for (const QString &name : listPlainFilesExact(folder)) {
            const QString shown = shownPath(name);
            if (shown != name)
                names << shown;
        }
    } catch (const AppError &) {
        return names;   // listPlainFiles reports an unreadable folder
    }
    sortForListing(names);
    return names;
}

bool isPlainFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    QFileInfo fi(path);
    return fi.exists() && fi.isFile() && !fi.fileName().startsWith(QLatin1Char('.'));
}

QString withSeparator(const QString &folder)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString lowerExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot).toLower();
}

QString fileNamePart(const QString &path)
{
    int i = path.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? path : path.mid(i + 1);
}

QString folderPart(const QString &path)
{
    int i = path.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? QString() : path.left(i + 1);
}

void renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray f = nativePath(from), t = nativePath(to);
    if (renameNoReplaceRaw(f, t) == 0)
        return;
    const int e = errno;
    if (e == EEXIST)
        throw AppError(ErrorKind::FileExists, {to}, {}, QStringLiteral("Name"));
    if (e == ENOENT || e == EACCES || e == EPERM || e == EROFS)
        throw systemError(e, ErrorKind::CannotRename, from, QStringLiteral("Name"));
    throw AppError(ErrorKind::CannotRename, {from, to}, QString::fromLocal8Bit(std::strerror(e)),
                   QStringLiteral("Name"));
}

void deleteFile(const QString &path)
{
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return;
    const int e = errno;
    throw systemError(e, ErrorKind::CannotDelete, path, QStringLiteral("Kill"));
}

void writeAll(int fd, const QByteArray &bytes, const QString &path)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw systemError(n < 0 ? errno : ENOSPC, ErrorKind::CannotWrite, path);
        p += n;
        left -= n;
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    bool given = false;
    writeFile(path, [&bytes, &given] {
        if (given)
            return QByteArray();
        given = true;
        return bytes;
    });
}

void writeFile(const QString &path, const std::function<QByteArray()> &next)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                          mode_t(newFileMode()));
    if (fd < 0)
        throw systemError(errno, ErrorKind::CannotWrite, path);
    try {
        for (QByteArray piece = next(); !piece.isEmpty(); piece = next())
            writeAll(fd, piece, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    // Some file systems report a full disk only when the file is closed.
    if (::close(fd) != 0)
        throw systemError(errno, ErrorKind::CannotWrite, path);
}

unsigned newFileMode()
{
    constexpr mode_t kReadWriteAll = 0666;
    // umask can only be read by setting it; it is put back at once.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return kReadWriteAll & ~mask;
}

QString freeFileName(const QString &folder, const QString &stem, const QString &suffix)
{
    const QString base = withSeparator(folder);
    QString candidate = stem + suffix;
    for (int i = 1; QFileInfo::exists(base + candidate) || QFileInfo(base + candidate).isSymLink(); ++i)
        candidate = QStringLiteral("%1~%2%3").arg(stem, QString::number(i), suffix);
    return candidate;
}

QString installFolder()
{
    const QString env = qEnvironmentVariable("PIXMAR_HOME");
    if (!env.isEmpty())
        return env;
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .absoluteFilePath(QStringLiteral("../" PIXMAR_INSTALL_DATA_SUBDIR));
    if (QFileInfo(installed + QStringLiteral("/bg")).isDir())
        return QDir::cleanPath(installed);
    return QStringLiteral(PIXMAR_SOURCE_DATA_DIR);
}

namespace {
const QString kOwnTemporaryStem = QStringLiteral(".pixmar-part-");
} // namespace

QString ownTemporaryPrefix()
{
    return kOwnTemporaryStem + QString::number(::getpid()) + QLatin1Char('-');
}

namespace {

// A file without a name is given one through its descriptor's entry under /proc.
bool canNameUnnamedFiles()
{
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

} // namespace

int openUnnamedFile(const QString &folder)
{
    if (!canNameUnnamedFiles()) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

bool unnamedUnsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

QByteArray unnamedFilePath(int fd) { return "/proc/self/fd/" + QByteArray::number(fd); }

int nameUnnamedFile(int fd, const QString &path)
{
    const QByteArray proc = unnamedFilePath(fd);
    const QByteArray out = QFile::encodeName(path);
    if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, out.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != EEXIST)
        return errno;
    // Something stands at the name: the file is named beside it and renamed over it, which
    // replaces a link instead of writing through it.
    const QString folder = QFileInfo(path).absolutePath() + QLatin1Char('/');
    QByteArray named;
    int e = EEXIST;
    for (int attempt = 0; attempt < 100 && e == EEXIST; ++attempt) {
        named = QFile::encodeName(folder + ownTemporaryPrefix() +
                                  QString::number(QRandomGenerator::global()->generate(), 36));
        e = ::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, named.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }
    if (e == 0 && ::rename(named.constData(), out.constData()) != 0) {
        e = errno;
        ::unlink(named.constData());
    }
    return e;
}

int removeStaleTemporaries(const QString &folder)
{
    static const QRegularExpression own(QStringLiteral("^\\.pixmar-part-(\\d+)-"));
    QDir dir(folder);
    const QStringList names =
        dir.entryList({kOwnTemporaryStem + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString &name : names) {
        const auto m = own.match(name);
        if (!m.hasMatch())
            continue;
        bool ok = false;
        const qint64 pid = m.captured(1).toLongLong(&ok);
        // A process that still exists may be a run at work (or any process that took the
        // number since): its files stay.
        if (!ok || pid <= 0 || pid > INT_MAX || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        const QByteArray path = QFile::encodeName(withSeparator(folder) + name);
        struct stat st;
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid())
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

QString installPath(const QString &relative) { return withSeparator(installFolder()) + relative; }

} // namespace platform
