#include "platform/FileLock.h"

#include "platform/Errors.h"
#include "platform/Files.h"

#include <QDir>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

bool FileLock::tryTake(const QString &path)
{
    release();
    const QString folder = folderPart(path);
    if (!QDir().mkpath(folder))
        throw AppError(ErrorKind::CannotWrite, {path});
    // Private to the user: the state folder says which folders were renamed.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const int fd = ::open(nativePath(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw systemError(errno, ErrorKind::CannotWrite, path);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK)
            return false;
        throw systemError(e, ErrorKind::CannotWrite, path);
    }
    fd_ = fd;
    return true;
}

void FileLock::release()
{
    if (fd_ < 0)
        return;
    ::close(fd_);   // closing the only descriptor lets go of the lock
    fd_ = -1;
}

} // namespace platform
