#include "tools/picture/Output.h"

#include "platform/Errors.h"
#include "platform/Files.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tools::picture {
namespace {

const QString kSource = QStringLiteral("SavePicture");

// A file without a name is given one through its descriptor's entry under /proc.
bool canNameUnnamedFiles()
{
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

QByteArray descriptorPath(int fd) { return "/proc/self/fd/" + QByteArray::number(fd); }

// Opens a file without a name in `folder`, or gives -1 with errno set.
int openUnnamed(const QString &folder)
{
    if (!canNameUnnamedFiles()) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

// The folder's file system has no files without a name (or the system predates them).
bool unnamedUnsupported(int e) { return e == EOPNOTSUPP || e == EISDIR || e == EINVAL; }

} // namespace

StagedOutput::StagedOutput(const QByteArray &data, const QString &outputPath) : output_(outputPath)
{
    const QFileInfo out(outputPath);
    unnamed_ = openUnnamed(out.absolutePath());
    if (unnamed_ >= 0) {
        try {
            platform::writeAll(unnamed_, data, outputPath);
        } catch (...) {
            discard();
            throw;
        }
        return;
    }
    if (!unnamedUnsupported(errno))
        throw platform::systemError(errno, platform::ErrorKind::CannotWrite, outputPath, kSource);
    QByteArray name = QFile::encodeName(out.absolutePath() + QLatin1Char('/') +
                                        platform::ownTemporaryPrefix() + QStringLiteral("XXXXXX"));
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        throw platform::systemError(errno, platform::ErrorKind::CannotWrite, outputPath, kSource);
    staged_ = QFile::decodeName(name);
    try {
        platform::writeAll(fd, data, outputPath);
    } catch (...) {
        ::close(fd);
        discard();
        throw;
    }
    if (::close(fd) != 0) {
        const int e = errno;
        discard();
        throw platform::systemError(e, platform::ErrorKind::CannotWrite, outputPath, kSource);
    }
}

StagedOutput::StagedOutput(StagedOutput &&other) noexcept
    : unnamed_(std::exchange(other.unnamed_, -1)), staged_(std::exchange(other.staged_, QString())),
      output_(std::move(other.output_))
{
}

StagedOutput &StagedOutput::operator=(StagedOutput &&other) noexcept
{
    if (this != &other) {
        discard();
        unnamed_ = std::exchange(other.unnamed_, -1);
        staged_ = std::exchange(other.staged_, QString());
        output_ = std::move(other.output_);
    }
    return *this;
}

StagedOutput::~StagedOutput() { discard(); }

void StagedOutput::discard() noexcept
{
    if (unnamed_ >= 0)
        ::close(unnamed_);
    unnamed_ = -1;
    if (!staged_.isEmpty())
        ::unlink(QFile::encodeName(staged_).constData());
    staged_.clear();
}

void StagedOutput::commit()
{
    if (unnamed_ >= 0) {
        commitUnnamed();
        return;
    }
    if (staged_.isEmpty())
        return;
    const QByteArray tmp = QFile::encodeName(staged_);
    // Temporary files are private; the output gets the permissions a new file would get.
    ::chmod(tmp.constData(), mode_t(platform::newFileMode()));
    if (::rename(tmp.constData(), QFile::encodeName(output_).constData()) != 0)
        throw platform::systemError(errno, platform::ErrorKind::CannotWrite, output_, kSource);
    staged_.clear();
}

void StagedOutput::commitUnnamed()
{
    const QByteArray proc = descriptorPath(unnamed_);
    const QByteArray out = QFile::encodeName(output_);
    ::fchmod(unnamed_, mode_t(platform::newFileMode()));
    if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, out.constData(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno != EEXIST) {
            const int e = errno;
            discard();
            throw platform::systemError(e, platform::ErrorKind::CannotWrite, output_, kSource);
        }
        // Something stands at the name: the output is named beside it and renamed over it,
        // which replaces a link instead of writing through it.
        const QString folder = QFileInfo(output_).absolutePath() + QLatin1Char('/');
        QByteArray named;
        int e = EEXIST;
        for (int attempt = 0; attempt < 100 && e == EEXIST; ++attempt) {
            named = QFile::encodeName(folder + platform::ownTemporaryPrefix() +
                                      QString::number(QRandomGenerator::global()->generate(), 36));
            e = ::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, named.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
        }
        if (e == 0 && ::rename(named.constData(), out.constData()) != 0) {
            e = errno;
            ::unlink(named.constData());
        }
        if (e != 0) {
            discard();
            throw platform::systemError(e, platform::ErrorKind::CannotWrite, output_, kSource);
        }
    }
    const int fd = std::exchange(unnamed_, -1);
    if (::close(fd) != 0) {
        // The system could not keep what was written: the output is not left half there.
        const int e = errno;
        ::unlink(out.constData());
        throw platform::systemError(e, platform::ErrorKind::CannotWrite, output_, kSource);
    }
}

void writeAtomically(const QByteArray &data, const QString &outputPath)
{
    StagedOutput(data, outputPath).commit();
}

} // namespace tools::picture
