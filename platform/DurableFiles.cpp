// The program's own files that must survive a crash, and where they live (declared in Files.h).
#include "platform/Files.h"

#include "platform/Errors.h"

#include <QDir>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {
namespace {

// Flushes what the system holds of `path` (a file or a folder) to the disk.
void flushToDisk(const QString &path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw systemError(errno, ErrorKind::CannotWrite, path);
    const int r = ::fsync(fd);
    const int e = errno;
    ::close(fd);
    // Some file systems cannot flush a folder; what they hold is then as safe as they make it.
    if (r != 0 && e != EINVAL && e != EROFS)
        throw systemError(e, ErrorKind::CannotWrite, path);
}

} // namespace

QString canonicalFolder(const QString &folder)
{
    char resolved[PATH_MAX];
    if (!::realpath(nativePath(folder).constData(), resolved))
        return {};
    return pathFromNative(QByteArray(resolved));
}

bool onReadOnlyFileSystem(const QString &folder)
{
    struct statvfs st;
    return ::statvfs(nativePath(folder).constData(), &st) == 0 && (st.f_flag & ST_RDONLY) != 0;
}

void writeOwnFileDurably(const QString &path, const QByteArray &bytes, bool flush)
{
    // The sibling is the program's own too: one left by a crash is simply written over.
    const QString sibling = path + QStringLiteral(".new");
    const QByteArray siblingBytes = nativePath(sibling);
    const int fd = ::open(siblingBytes.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        throw systemError(errno, ErrorKind::CannotWrite, path);
    try {
        writeAll(fd, bytes, path);
        if (flush && ::fsync(fd) != 0)
            throw systemError(errno, ErrorKind::CannotWrite, path);
    } catch (...) {
        ::close(fd);
        ::unlink(siblingBytes.constData());
        throw;
    }
    if (::close(fd) != 0 || ::rename(siblingBytes.constData(), nativePath(path).constData()) != 0) {
        const int e = errno;
        ::unlink(siblingBytes.constData());
        throw systemError(e, ErrorKind::CannotWrite, path);
    }
    if (flush)
        flushToDisk(folderPart(path));
}

void removeOwnFileDurably(const QString &path)
{
    if (::unlink(nativePath(path).constData()) != 0) {
        if (errno == ENOENT)
            return;
        throw systemError(errno, ErrorKind::CannotDelete, path);
    }
    flushToDisk(folderPart(path));
}

QString stateFolder()
{
    // The XDG rule: a relative path in the variable is to be ignored.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!base.startsWith(QLatin1Char('/')))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return withSeparator(base) + QStringLiteral("pixmar");
}

} // namespace platform
