#include "rename/RenameMoves.h"

#include "platform/Errors.h"
#include "platform/Files.h"

#include <QLoggingCategory>
#include <QSet>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcRename)

namespace renbulk {
namespace {

// File systems that number their files afresh at each mount.
constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;
constexpr qint64 kNanosPerSecond = 1000000000;

} // namespace

bool nameTaken(const QString &path)
{
    struct stat st;
    return ::lstat(platform::nativePath(path).constData(), &st) == 0;
}

const QString kTempNamePrefix = QStringLiteral(".pixmar-rename-");

std::optional<FileIdentity> identityAt(const QString &path)
{
    struct statx st;
    if (::statx(AT_FDCWD, platform::nativePath(path).constData(), AT_SYMLINK_NOFOLLOW,
                STATX_INO | STATX_SIZE | STATX_MTIME | STATX_BTIME, &st) != 0)
        return std::nullopt;
    auto nanos = [](const struct statx_timestamp &t) { return qint64(t.tv_sec) * kNanosPerSecond + t.tv_nsec; };
    const qint64 birth = (st.stx_mask & STATX_BTIME) ? nanos(st.stx_btime) : 0;
    return FileIdentity{quint64(st.stx_ino), qint64(st.stx_size), nanos(st.stx_mtime), birth};
}

bool keepsInodeNumbers(const QString &folder)
{
    struct statfs st;
    if (::statfs(platform::nativePath(folder).constData(), &st) != 0)
        return true;
    return long(st.f_type) != kMsdosMagic && long(st.f_type) != kExfatMagic;
}

bool sameFile(const FileIdentity &recorded, const FileIdentity &found, bool inodesKept)
{
    if (recorded.birthNs != 0 && found.birthNs != 0 && recorded.birthNs != found.birthNs)
        return false;
    if (recorded.inode == found.inode)
        return true;
    return !inodesKept && recorded.size == found.size && recorded.mtimeNs == found.mtimeNs;
}

QString MovingFile::pathAt(Spot s) const
{
    switch (s) {
    case Spot::Old: return oldPath;
    case Spot::Temp: return tempPath;
    case Spot::Rescue: return rescuePath;
    case Spot::New: return newPath;
    case Spot::Missing: break;
    }
    return {};
}

QString TempNames::take(const QString &folder)
{
    for (;;) {
        QString candidate = folder + kTempNamePrefix + QStringLiteral("%1-%2").arg(::getpid()).arg(++counter_);
        if (!nameTaken(candidate))
            return candidate;
    }
}

Moves::Moves(std::vector<MovingFile> files, std::vector<Spot> spots)
    : files_(std::move(files)), spots_(std::move(spots))
{
    if (spots_.empty())
        spots_.assign(files_.size(), Spot::Old);
}

std::optional<qsizetype> Moves::walkForward(const std::vector<MovingFile> &files, std::vector<Spot> &spots,
                                            const Mover &move,
                                            const std::function<void(qsizetype)> &onFileDone,
                                            const std::function<bool()> &shouldStop, bool *stopped)
{
    const qsizetype n = qsizetype(files.size());
    // First free every old name another file wants; after that each new name is free.
    for (qsizetype i = 0; i < n; ++i) {
        if (files[i].moves() && !files[i].tempPath.isEmpty() && spots[i] == Spot::Old && !move(i, Spot::Temp))
            return i;
    }
    for (qsizetype i = 0; i < n; ++i) {
        const Spot s = spots[i];
        if (files[i].moves() && s != Spot::New && s != Spot::Missing && !move(i, Spot::New))
            return i;
        if (onFileDone && spots[i] != Spot::Missing)
            onFileDone(i);
        if (i + 1 < n && shouldStop && shouldStop()) {
            if (stopped)
                *stopped = true;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::vector<qsizetype> Moves::walkBackward(const std::vector<MovingFile> &files, std::vector<Spot> &spots,
                                           const Mover &move)
{
    const qsizetype n = qsizetype(files.size());
    std::vector<bool> stuck(files.size(), false);
    // The second moves first, last file first: each finds the name it goes back to free.
    for (qsizetype i = n - 1; i >= 0; --i) {
        if (files[i].moves() && spots[i] == Spot::New)
            stuck[i] = !move(i, files[i].tempPath.isEmpty() ? Spot::Old : Spot::Temp);
    }
    for (qsizetype i = n - 1; i >= 0; --i) {
        if (!stuck[i] && (spots[i] == Spot::Temp || spots[i] == Spot::Rescue))
            stuck[i] = !move(i, Spot::Old);
    }
    std::vector<qsizetype> notBack;
    for (qsizetype i = 0; i < n; ++i) {
        if (files[i].moves() && spots[i] != Spot::Old && spots[i] != Spot::Missing)
            notBack.push_back(i);
    }
    return notBack;
}

bool Moves::moveFile(qsizetype i, Spot to)
{
    const MovingFile &f = files_[size_t(i)];
    try {
        platform::renameNoReplace(f.pathAt(spots_[size_t(i)]), f.pathAt(to));
    } catch (const platform::AppError &e) {
        lastError_ = e.description();
        qCWarning(lcRename) << "could not move" << f.pathAt(spots_[size_t(i)]) << "to" << f.pathAt(to)
                            << e.description();
        return false;
    }
    spots_[size_t(i)] = to;
    if (afterMove)
        afterMove();
    return true;
}

std::optional<Moves::Failure> Moves::forward(const std::function<void(qsizetype)> &onFileDone,
                                             const std::function<bool()> &shouldStop, bool *stopped)
{
    const auto failed = walkForward(
        files_, spots_, [this](qsizetype i, Spot to) { return moveFile(i, to); }, onFileDone, shouldStop,
        stopped);
    if (!failed)
        return std::nullopt;
    return Failure{*failed, lastError_};
}

std::vector<qsizetype> Moves::backward()
{
    std::vector<qsizetype> notBack =
        walkBackward(files_, spots_, [this](qsizetype i, Spot to) { return moveFile(i, to); });
    for (qsizetype i : notBack) {
        MovingFile &f = files_[size_t(i)];
        if (spots_[size_t(i)] != Spot::Temp)
            continue;
        // Still under a temporary name: give it the first free name built from its own.
        const QString folder = platform::folderPart(f.oldPath);
        const QString name = platform::fileNamePart(f.oldPath);
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        const QString stem = dot < 0 ? name : name.left(dot);
        const QString suffix = dot < 0 ? QString() : name.mid(dot);
        f.rescuePath = folder + platform::freeFileName(folder, stem, suffix);
        if (beforeRescue)
            beforeRescue(i);
        if (!moveFile(i, Spot::Rescue))
            qCWarning(lcRename) << "left under temporary name" << f.tempPath;
    }
    return notBack;
}

std::optional<Moves::Blocked> Moves::firstBlocked(bool forwardWalk) const
{
    // Every name the run may move a file to or from, and which of them are taken now.
    QSet<QString> taken;
    for (const MovingFile &f : files_) {
        for (Spot s : {Spot::Old, Spot::Temp, Spot::Rescue, Spot::New}) {
            const QString p = f.pathAt(s);
            if (!p.isEmpty() && nameTaken(p))
                taken.insert(p);
        }
    }
    std::optional<Blocked> first;
    std::vector<Spot> spots = spots_;
    const Mover model = [&](qsizetype i, Spot to) {
        const MovingFile &f = files_[size_t(i)];
        const QString target = f.pathAt(to);
        if (taken.contains(target)) {
            if (!first)
                first = Blocked{i, target};
            return false;
        }
        taken.remove(f.pathAt(spots[size_t(i)]));
        taken.insert(target);
        spots[size_t(i)] = to;
        return true;
    };
    if (forwardWalk)
        walkForward(files_, spots, model, {}, {}, nullptr);
    else
        walkBackward(files_, spots, model);
    return first;
}

} // namespace renbulk
