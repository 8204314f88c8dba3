#include "rename/RenameRun.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Progress.h"
#include "platform/Toolkit.h"
#include "rename/JournaledRename.h"
#include "rename/RenamePlan.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

using shell::tx;

namespace renbulk {
namespace {

// Takes the folder for this command; says why not otherwise.
bool holdFolder(FolderJournal &journal, const QString &folder, RenameHost &host, RenBulkOutcome &outcome)
{
    try {
        if (journal.hold())
            return true;
        showFolderBusy(folder, host, outcome);
    } catch (const platform::AppError &e) {
        outcome.refused = true;
        host.inputFault(tx("renbulk.msg.journalNotWritten").arg(e.description()), tx("renbulk.title.journal"));
    }
    return false;
}

// True when the folder may be renamed now; says why not otherwise.
bool mayRename(FolderJournal &journal, const QString &folder, RenameHost &host, RenBulkOutcome &outcome)
{
    if (!holdFolder(journal, folder, host, outcome))
        return false;
    const FolderState state = inspectFolder(journal);
    if (state.kind == FolderState::Unusable) {
        showJournalRefused(state, folder, host, outcome);
        return false;
    }
    if (state.kind == FolderState::Interrupted || state.kind == FolderState::InterruptedUndo) {
        outcome.refused = true;
        host.inputFault(tx("renbulk.msg.interruptedFirst").arg(platform::shownPath(folder)),
                        tx("renbulk.title.journal"));
        return false;
    }
    if (platform::onReadOnlyFileSystem(folder)) {
        showReadOnly(folder, host, outcome);
        return false;
    }
    return true;
}

} // namespace

bool listFolder(const QString &folder, RenameHost &host, RenBulkOutcome &outcome)
{
    platform::doEvents();
    QStringList names;
    try {
        // Every plain file, names that are not UTF-8 too: the rename carries their bytes.
        names = platform::listPlainFilesExact(folder);
    } catch (const platform::AppError &e) {
        outcome.fail(folder, e.description());
        host.error(e.description());
        return false;
    }
    // The listing is read whole before the first name is shown, so an unreadable folder
    // fails above, before any name; listing a name cannot fail.
    const int count = int(names.size());
    int listed = 0;
    for (const QString &name : std::as_const(names)) {
        if (listed > 0 && platform::stopRequested()) {
            // What is listed stays listed; renaming takes the listing as it stands.
            outcome.stopped = true;
            break;
        }
        platform::reportProgress(listed + 1, count, platform::shownPath(name));
        platform::doEvents();
        host.listed(folder + name);
        ++listed;
    }
    host.listingEnded();
    if (outcome.stopped)
        host.notice(tx("common.msg.listStopped").arg(QString::number(listed), QString::number(count)),
                    tx("common.title.pixmar"));
    return true;
}

QStringList orderListing(const QStringList &paths, Order order)
{
    if (order == Order::Name || paths.size() < 2)
        return paths;
    return orderPaths(paths, order, [](int i, int n, const QString &p) {
        platform::reportProgress(i, n, platform::shownPath(platform::fileNamePart(p)));
        platform::doEvents();
    });
}

void settleInterrupted(const QString &folder, OnInterrupted how, RenameHost &host, RenBulkOutcome &outcome)
{
    FolderJournal journal(folder);
    if (journal.folder().isEmpty())
        return;
    try {
        // Another Pixmar at work on the folder: what it leaves is its own to settle.
        if (!journal.hold())
            return;
    } catch (const platform::AppError &) {
        return;   // no state folder: no journal either
    }
    const FolderState state = inspectFolder(journal);
    if (state.kind == FolderState::Unusable) {
        showJournalRefused(state, folder, host, outcome);
        outcome.recoveryFailed = true;
        return;
    }
    if (state.kind != FolderState::Interrupted && state.kind != FolderState::InterruptedUndo)
        return;
    if (how == OnInterrupted::Leave) {
        outcome.interruptedLeft = true;
        host.notice(tx("renbulk.msg.interruptedLeft").arg(platform::shownPath(folder)), tx("common.title.pixmar"));
        return;
    }
    // An undo cut short is taken to its end; a rename cut short is the user's to choose.
    const bool renaming = state.kind == FolderState::Interrupted;
    const bool forward = renaming && how == OnInterrupted::Ask
                         && host.ask(tx("renbulk.msg.interrupted")
                                         .arg(platform::shownPath(folder), QString::number(state.atNew),
                                              QString::number(state.moving)),
                                     tx("common.title.pixmar"));
    const char *doneKey = !renaming ? "renbulk.msg.undoCompleted"
                          : forward ? "renbulk.msg.finished"
                                    : "renbulk.msg.rolledBack";
    SettleOutcome settled;
    host.whileBusy([&] { settled = settle(journal, state, forward); });
    showSettled(settled, folder, doneKey, host, outcome);
    outcome.recoveryFailed = settled.result != SettleOutcome::Settled;
}

RenameRun renameListed(const QStringList &paths, const QString &prefix, RenameHost &host, RenBulkOutcome &outcome)
{
    outcome.ran = false;
    outcome.renamed = 0;
    outcome.limitReached = false;
    RenameRun result;
    qsizetype renamed = 0;
    if (!paths.isEmpty()) {
        if (!prefixIsSafe(effectivePrefix(prefix))) {
            outcome.refused = true;
            host.inputFault(tx("renbulk.msg.badPrefix"), tx("renbulk.title.badPrefix"));
            result.end = RenameRun::BadPrefix;
            return result;
        }
        const RenamePlan plan = planRename(paths, prefix);
        if (const auto clash = findClash(plan)) {
            // Refused before anything moved; the report of 0 files still follows.
            outcome.refused = true;
            host.inputFault(tx("renbulk.msg.nameTaken").arg(platform::shownPath(clash->wantedBy),
                                                            platform::shownPath(clash->takenBy)),
                            tx("renbulk.title.nameTaken"));
        } else {
            // The folder as the user named it, without the separator the paths carry.
            QString folder = platform::folderPart(plan.entries.front().oldPath);
            if (folder.size() > 1)
                folder.chop(1);
            FolderJournal journal(folder);
            if (!mayRename(journal, folder, host, outcome)) {
                result.end = RenameRun::Refused;
                return result;
            }
            host.renameStarting();
            RenameOutcome run;
            host.whileBusy([&] {
                const int count = int(plan.entries.size());
                run = executeJournaled(
                    plan, journal,
                    [&](qsizetype i, const QString &newPath) {
                        host.renamed(plan.entries[size_t(i)].oldPath, newPath);
                        platform::reportProgress(int(i) + 1, count,
                                                 platform::shownPath(platform::fileNamePart(newPath)));
                        platform::doEvents();
                    },
                    [] { return platform::stopRequested(); });
                host.renameEnded();
            });
            if (!run.journalError.isEmpty()) {
                outcome.refused = true;
                host.inputFault(tx("renbulk.msg.journalNotWritten").arg(run.journalError), tx("renbulk.title.journal"));
                result.end = RenameRun::Refused;
                return result;
            }
            outcome.ran = true;
            result.folder = folder;
            if (run.stopped) {
                // Stopped as a failure stops: every name put back, the report of 0 follows.
                outcome.stopped = true;
                QString text = tx("renbulk.msg.stopped")
                                   .arg(QString::number(run.stoppedAfter), QString::number(plan.entries.size()));
                if (run.notRestored.empty()) {
                    host.notice(text + shell::CRLF + tx("renbulk.msg.restored"), tx("common.title.pixmar"));
                } else {
                    text += shell::CRLF + tx("renbulk.msg.notRestored") + notRestoredLines(run.notRestored);
                    host.error(text);
                }
            } else if (run.failed) {
                outcome.fail(run.failedPath, run.description);
                QString text = tx("renbulk.msg.failed").arg(platform::shownPath(run.failedPath), run.description);
                if (run.notRestored.empty())
                    text += shell::CRLF + tx("renbulk.msg.restored");
                else
                    text += shell::CRLF + tx("renbulk.msg.notRestored") + notRestoredLines(run.notRestored);
                host.error(text);
            } else if (plan.limitReached) {
                outcome.limitReached = true;
                host.notice(tx("renbulk.msg.limit"), tx("common.title.pixmar"));
            }
            renamed = run.renamed;
        }
    } else {
        outcome.ran = true;   // nothing listed: the report of 0 files is the whole run
    }
    outcome.renamed = renamed;
    host.notice(QString::number(renamed) + tx("renbulk.report"), tx("common.title.pixmar"));
    return result;
}

bool undoRename(const QString &folder, RenameHost &host, RenBulkOutcome &outcome)
{
    outcome = {};
    FolderJournal journal(folder);
    if (journal.folder().isEmpty()) {
        outcome.refused = true;
        host.inputFault(platform::AppError(platform::ErrorKind::PathNotFound, {folder}).description(),
                        tx("common.title.invalidFolder"));
        return false;
    }
    if (!holdFolder(journal, folder, host, outcome))
        return false;
    const FolderState state = inspectFolder(journal);
    if (state.kind == FolderState::NoJournal) {
        outcome.refused = true;
        host.inputFault(tx("renbulk.msg.nothingToUndo").arg(platform::shownPath(folder)), tx("renbulk.title.undo"));
        return false;
    }
    if (state.kind == FolderState::Unusable) {
        showJournalRefused(state, folder, host, outcome);
        return false;
    }
    // A rename cut short is rolled back entirely, an undo cut short taken to its end.
    const char *doneKey = state.kind == FolderState::Done          ? "renbulk.msg.undone"
                          : state.kind == FolderState::Interrupted ? "renbulk.msg.rolledBack"
                                                                   : "renbulk.msg.undoCompleted";
    SettleOutcome settled;
    host.whileBusy([&] { settled = settle(journal, state, false); });
    outcome.undone = showSettled(settled, folder, doneKey, host, outcome);
    return true;
}

} // namespace renbulk
