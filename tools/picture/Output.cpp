#include "tools/picture/Output.h"

#include "platform/Errors.h"
#include "platform/Files.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tools::picture {
namespace {

const QString kSource = QStringLiteral("SavePicture");

} // namespace

StagedOutput::StagedOutput(const QByteArray &data, const QString &outputPath) : output_(outputPath)
{
    const QFileInfo out(outputPath);
    unnamed_ = platform::openUnnamedFile(out.absolutePath());
    if (unnamed_ >= 0) {
        try {
            platform::writeAll(unnamed_, data, outputPath);
        } catch (...) {
            discard();
            throw;
        }
        return;
    }
    if (!platform::unnamedUnsupported(errno))
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
    const QByteArray out = QFile::encodeName(output_);
    ::fchmod(unnamed_, mode_t(platform::newFileMode()));
    if (const int e = platform::nameUnnamedFile(unnamed_, output_)) {
        discard();
        throw platform::systemError(e, platform::ErrorKind::CannotWrite, output_, kSource);
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
