#include "rename/RenamePlan.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSet>
#include <unistd.h>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcRename, "pixmar.rename")

namespace renbulk {
namespace {

// Any directory entry counts, a dangling link included: lstat, not stat.
bool nameTaken(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Temporary names are hidden (a listing never shows them) and live in the file's own folder,
// so that every move stays a rename within one file system.
class TempNames {
public:
    QString take(const QString &folder)
    {
        for (;;) {
            QString candidate = folder + QStringLiteral(".pixmar-rename-%1-%2")
                                             .arg(::getpid()).arg(++counter_);
            if (!nameTaken(candidate))
                return candidate;
        }
    }

private:
    quint64 counter_ = 0;
};

struct Move {
    qsizetype entry;
    QString from;
    QString to;
};

QString describe(const std::exception &e)
{
    if (auto *app = dynamic_cast<const platform::AppError *>(&e))
        return app->description();
    return QString::fromLocal8Bit(e.what());
}

} // namespace

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

std::optional<NameClash> findClash(const RenamePlan &plan)
{
    QSet<QString> inRun;
    inRun.reserve(plan.entries.size());
    for (const RenameEntry &e : plan.entries)
        inRun.insert(e.oldPath);
    for (const RenameEntry &e : plan.entries) {
        if (!inRun.contains(e.newPath) && nameTaken(e.newPath))
            return NameClash{e.oldPath, e.newPath};
    }
    return std::nullopt;
}

RenameOutcome executePlan(const RenamePlan &plan, const RenamedCallback &onRenamed,
                          const std::function<bool()> &shouldStop)
{
    RenameOutcome outcome;
    const auto &entries = plan.entries;
    std::vector<QString> where;
    where.reserve(entries.size());
    QSet<QString> wanted;
    wanted.reserve(entries.size());
    for (const RenameEntry &e : entries) {
        where.push_back(e.oldPath);
        if (e.newPath != e.oldPath)
            wanted.insert(e.newPath);
    }

    std::vector<Move> done;
    TempNames temps;
    auto move = [&](qsizetype i, const QString &to) {
        platform::renameNoReplace(where[i], to);
        done.push_back({i, where[i], to});
        where[i] = to;
    };

    qsizetype i = 0;
    try {
        // First free every name that another file of the run wants; after that each new name
        // is free (findClash saw to the names held outside the run).
        for (i = 0; i < qsizetype(entries.size()); ++i) {
            const RenameEntry &e = entries[i];
            if (e.newPath != e.oldPath && wanted.contains(e.oldPath))
                move(i, temps.take(platform::folderPart(e.oldPath)));
        }
        for (i = 0; i < qsizetype(entries.size()); ++i) {
            if (entries[i].newPath != where[i])
                move(i, entries[i].newPath);
            if (onRenamed)
                onRenamed(i, entries[i].newPath);
            if (i + 1 < qsizetype(entries.size()) && shouldStop && shouldStop()) {
                outcome.stopped = true;
                outcome.stoppedAfter = i + 1;
                qCInfo(lcRename) << "rename stopped after" << outcome.stoppedAfter << "files";
                break;
            }
        }
        if (!outcome.stopped) {
            outcome.renamed = qsizetype(entries.size());
            return outcome;
        }
    } catch (const std::exception &e) {
        outcome.failed = true;
        outcome.failedPath = entries[i].oldPath;
        outcome.description = describe(e);
        qCWarning(lcRename) << "rename stopped at" << outcome.failedPath << outcome.description;
    }

    // Undo in reverse order: each step then finds its old name free again. A file whose step
    // cannot be undone stays where it is, but never under a temporary name.
    std::vector<bool> stuck(entries.size(), false);
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (stuck[it->entry])
            continue;
        try {
            platform::renameNoReplace(it->to, it->from);
            where[it->entry] = it->from;
        } catch (const std::exception &e) {
            stuck[it->entry] = true;
            qCWarning(lcRename) << "could not put back" << it->to << describe(e);
        }
    }
    for (qsizetype k = 0; k < qsizetype(entries.size()); ++k) {
        if (!stuck[k])
            continue;
        const QString &home = entries[k].oldPath;
        if (where[k] != entries[k].newPath && where[k] != home) {
            // Still under a temporary name: give it the first free name built from its own.
            const QString name = platform::fileNamePart(home);
            const qsizetype dot = name.indexOf(QLatin1Char('.'));
            const QString stem = dot < 0 ? name : name.left(dot);
            const QString suffix = dot < 0 ? QString() : name.mid(dot);
            try {
                const QString free = platform::folderPart(home)
                                     + platform::freeFileName(platform::folderPart(home), stem, suffix);
                platform::renameNoReplace(where[k], free);
                where[k] = free;
            } catch (const std::exception &e) {
                qCWarning(lcRename) << "left under temporary name" << where[k] << describe(e);
            }
        }
        outcome.notRestored.emplace_back(home, where[k]);
    }
    return outcome;
}

} // namespace renbulk
