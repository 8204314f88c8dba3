#include "rename/RenamePlan.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include <QLoggingCategory>
#include <QHash>
#include <QSet>

Q_LOGGING_CATEGORY(lcRename, "pixmar.rename")

namespace renbulk {

QString keptPart(const QString &name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.mid(dot + 1);
}

QString runningNumber(qsizetype index)
{
    // The last four digits of "0000" + index, as the numbering has always been written.
    const QString digits = QStringLiteral("0000") + QString::number(index);
    return digits.right(kNumberDigits);
}

QString newFileName(const QString &prefix, qsizetype index, const QString &oldName)
{
    return prefix + QLatin1Char('-') + runningNumber(index) + QLatin1Char('.') + keptPart(oldName);
}

QString effectivePrefix(const QString &typed) { return typed.trimmed(); }

bool prefixIsSafe(const QString &prefix)
{
    for (QChar c : prefix) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

RenamePlan planRename(const QStringList &paths, const QString &typedPrefix)
{
    RenamePlan plan;
    const QString prefix = effectivePrefix(typedPrefix);
    const qsizetype count = std::min<qsizetype>(paths.size(), kMaxFiles);
    plan.limitReached = paths.size() > kMaxFiles;
    plan.entries.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const QString &path = paths[i];
        plan.entries.push_back({path, platform::folderPart(path)
                                          + newFileName(prefix, i, platform::fileNamePart(path))});
    }
    return plan;
}

std::vector<qsizetype> findClashes(const RenamePlan &plan, qsizetype atMost)
{
    QSet<QString> inRun;
    inRun.reserve(plan.entries.size());
    for (const RenameEntry &e : plan.entries)
        inRun.insert(e.oldPath);
    // Each folder's names read once, rather than a look per new name: a name taken after this
    // is still never replaced (every move refuses a taken name).
    QHash<QString, QSet<QString>> held;
    std::vector<qsizetype> clashes;
    for (qsizetype i = 0; i < qsizetype(plan.entries.size()) && qsizetype(clashes.size()) < atMost; ++i) {
        const RenameEntry &e = plan.entries[size_t(i)];
        if (inRun.contains(e.newPath))
            continue;
        const QString folder = platform::folderPart(e.newPath);
        auto it = held.find(folder);
        if (it == held.end())
            it = held.insert(folder, platform::folderEntryNames(folder));
        if (it->contains(platform::fileNamePart(e.newPath)))
            clashes.push_back(i);
    }
    return clashes;
}

std::optional<NameClash> findClash(const RenamePlan &plan)
{
    const auto first = findClashes(plan, 1);
    if (first.empty())
        return std::nullopt;
    const RenameEntry &e = plan.entries[size_t(first.front())];
    return NameClash{e.oldPath, e.newPath};
}

std::vector<MovingFile> movingFiles(const RenamePlan &plan)
{
    QSet<QString> wanted;
    wanted.reserve(qsizetype(plan.entries.size()));
    for (const RenameEntry &e : plan.entries) {
        if (e.newPath != e.oldPath)
            wanted.insert(e.newPath);
    }
    std::vector<MovingFile> files;
    files.reserve(plan.entries.size());
    TempNames temps;
    for (const RenameEntry &e : plan.entries) {
        MovingFile f;
        f.oldPath = e.oldPath;
        f.newPath = e.newPath;
        if (f.moves() && wanted.contains(e.oldPath))
            f.tempPath = temps.take(platform::folderPart(e.oldPath));
        files.push_back(std::move(f));
    }
    return files;
}

RenameOutcome runMoves(Moves &moves, const RenamedCallback &onRenamed, const std::function<bool()> &shouldStop,
                       const std::function<void()> &beforeGoingBack)
{
    RenameOutcome outcome;
    const auto &files = moves.files();
    bool stopped = false;
    qsizetype done = 0;
    const auto failure = moves.forward(
        [&](qsizetype i) {
            done = i + 1;
            if (onRenamed)
                onRenamed(i, files[size_t(i)].newPath);
        },
        shouldStop, &stopped);
    if (!failure && !stopped) {
        outcome.renamed = moves.count();
        return outcome;
    }
    if (stopped) {
        outcome.stopped = true;
        outcome.stoppedAfter = done;
        qCInfo(lcRename) << "rename stopped after" << outcome.stoppedAfter << "files";
    } else {
        outcome.failed = true;
        outcome.failedPath = files[size_t(failure->file)].oldPath;
        outcome.description = failure->description;
        qCWarning(lcRename) << "rename stopped at" << outcome.failedPath << outcome.description;
    }
    if (beforeGoingBack)
        beforeGoingBack();
    for (qsizetype k : moves.backward()) {
        const MovingFile &f = moves.files()[size_t(k)];
        outcome.notRestored.emplace_back(f.oldPath, f.pathAt(moves.spot(k)));
    }
    return outcome;
}

RenameOutcome executePlan(const RenamePlan &plan, const RenamedCallback &onRenamed,
                          const std::function<bool()> &shouldStop)
{
    Moves moves(movingFiles(plan));
    return runMoves(moves, onRenamed, shouldStop, {});
}

} // namespace renbulk
