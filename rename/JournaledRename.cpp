#include "rename/JournaledRename.h"

#include "platform/Errors.h"
#include "platform/Files.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcRename)

namespace renbulk {
namespace {

// A journal that cannot be brought up to date after the run has begun is no reason to stop
// moving files back or ahead: the older record still names every file's names.
void writeQuietly(const FolderJournal &store, const Journal &journal)
{
    try {
        store.write(journal);
    } catch (const platform::AppError &e) {
        qCWarning(lcRename) << "journal not brought up to date:" << e.description();
    }
}

// Where each file of the journal is: the first of its names that holds it. A file found under
// two names is one whose move by link and unlink (file systems without an atomic no-replace
// rename) was cut between the two: `extraLinks` gets the later names, which are second links
// to a file that keeps its first, so removing them loses nothing.
std::vector<Spot> locate(const std::vector<MovingFile> &files, const QString &folder, QStringList *extraLinks)
{
    const bool inodesKept = keepsInodeNumbers(folder);
    std::vector<Spot> spots;
    spots.reserve(files.size());
    for (const MovingFile &f : files) {
        if (!f.moves()) {
            spots.push_back(Spot::Old);
            continue;
        }
        Spot found = Spot::Missing;
        for (Spot s : {Spot::Old, Spot::Temp, Spot::Rescue, Spot::New}) {
            const QString path = f.pathAt(s);
            if (path.isEmpty())
                continue;
            const auto id = identityAt(path);
            if (!id || !sameFile(f.id, *id, inodesKept))
                continue;
            if (found == Spot::Missing) {
                found = s;
                continue;
            }
            struct stat st;
            if (extraLinks && id->inode == f.id.inode && identityAt(f.pathAt(found))->inode == id->inode
                && ::lstat(platform::nativePath(path).constData(), &st) == 0 && st.st_nlink > 1)
                *extraLinks << path;
        }
        spots.push_back(found);
    }
    return spots;
}

} // namespace

RenameOutcome executeJournaled(const RenamePlan &plan, const FolderJournal &store,
                               const RenamedCallback &onRenamed, const std::function<bool()> &shouldStop,
                               const std::function<void()> &afterMove)
{
    RenameOutcome outcome;
    // The journal names files within its folder: a plan that reaches into another cannot be
    // recorded, so it does not start.
    if (!plan.entries.empty()) {
        const QString folder = platform::folderPart(plan.entries.front().oldPath);
        const bool inOneFolder = std::all_of(plan.entries.begin(), plan.entries.end(), [&](const RenameEntry &e) {
            return platform::folderPart(e.oldPath) == folder;
        });
        if (!inOneFolder || platform::withSeparator(platform::canonicalFolder(folder)) != store.folder()) {
            outcome.journalError = platform::AppError(platform::ErrorKind::CannotWrite, {store.journalPath()}).description();
            return outcome;
        }
    }
    std::vector<MovingFile> files = movingFiles(plan);
    for (MovingFile &f : files) {
        const auto id = identityAt(f.oldPath);
        if (!id) {
            // Gone since the listing: nothing has moved yet, and nothing will.
            outcome.failed = true;
            outcome.failedPath = f.oldPath;
            outcome.description = platform::systemError(errno, platform::ErrorKind::CannotRename, f.oldPath)
                                      .description();
            return outcome;
        }
        f.id = *id;
    }
    // The caller has looked at the journal already; its bytes are kept to be put back.
    const QByteArray previous = store.readBytes();
    Journal journal = store.fresh();
    journal.files = Journal::fromMoving(files);
    const QByteArray written = serializeJournal(journal);
    try {
        store.writeBytes(written);
    } catch (const platform::AppError &e) {
        outcome.journalError = e.description();
        return outcome;
    }

    Moves moves(std::move(files));
    moves.afterMove = afterMove;
    moves.beforeRescue = [&](qsizetype i) {
        journal.files[size_t(i)].rescueName = platform::fileNamePart(moves.files()[size_t(i)].rescuePath);
        writeQuietly(store, journal);
    };
    outcome = runMoves(moves, onRenamed, shouldStop, [&] {
        // Killed while going back, the next run goes on back, not ahead.
        journal.state = JournalState::Undoing;
        writeQuietly(store, journal);
    });
    if (!outcome.failed && !outcome.stopped) {
        // Lost in a crash, "done" costs nothing: a journal still "renaming" whose files all
        // have their new names reads as done.
        try {
            store.writeBytes(withState(written, JournalState::Done), false);
        } catch (const platform::AppError &e) {
            qCWarning(lcRename) << "journal not brought up to date:" << e.description();
        }
    } else if (outcome.notRestored.empty()) {
        // Nothing changed after all: the folder's last rename is the one before this run.
        try {
            if (!previous.isEmpty())
                store.writeBytes(previous);
            else
                store.remove();
        } catch (const platform::AppError &e) {
            qCWarning(lcRename) << "journal of the run before not put back:" << e.description();
        }
    }
    return outcome;
}

FolderState inspectFolder(const FolderJournal &store)
{
    FolderState state;
    state.journalPath = store.journalPath();
    FolderJournal::Read read = store.read();
    if (!read.exists)
        return state;
    if (!read.journal) {
        state.kind = FolderState::Unusable;
        state.fault = read.fault;
        state.detail = read.detail;
        return state;
    }
    state.journal = std::move(read.journal);
    if (state.journal->state == JournalState::Done) {
        // Where its files are matters only when it is undone (settle looks then).
        state.kind = FolderState::Done;
        return state;
    }
    const std::vector<MovingFile> files = state.journal->movingFiles();
    const std::vector<Spot> spots = locate(files, store.folder(), nullptr);
    for (size_t i = 0; i < files.size(); ++i) {
        if (!files[i].moves())
            continue;
        ++state.moving;
        if (spots[i] == Spot::New)
            ++state.atNew;
    }
    if (state.journal->state == JournalState::Undoing)
        state.kind = FolderState::InterruptedUndo;
    else   // cut short after its last move, before it could say so, it ended whole
        state.kind = state.atNew == state.moving ? FolderState::Done : FolderState::Interrupted;
    return state;
}

SettleOutcome settle(const FolderJournal &store, const FolderState &state, bool forward)
{
    SettleOutcome out;
    if (!state.journal)
        return out;
    Journal journal = *state.journal;
    std::vector<MovingFile> files = journal.movingFiles();
    QStringList extraLinks;
    std::vector<Spot> spots = locate(files, store.folder(), &extraLinks);

    for (size_t i = 0; i < files.size(); ++i) {
        if (!files[i].moves())
            continue;
        if (state.kind == FolderState::Done && !forward && spots[i] != Spot::New) {
            out.result = SettleOutcome::Refused;
            out.changedFile = files[i].newPath;
            return out;
        }
        if (spots[i] == Spot::Missing)
            out.missing << files[i].oldPath;
        else
            ++out.files;
    }
    if (platform::onReadOnlyFileSystem(store.folder())) {
        out.result = SettleOutcome::Refused;
        out.readOnly = true;
        return out;
    }
    for (const QString &link : std::as_const(extraLinks)) {
        if (::unlink(platform::nativePath(link).constData()) != 0)
            qCWarning(lcRename) << "second link not removed:" << link;
    }
    Moves moves(files, spots);
    if (const auto blocked = moves.firstBlocked(forward)) {
        out.result = SettleOutcome::Refused;
        out.blockedFile = files[size_t(blocked->file)].pathAt(spots[size_t(blocked->file)]);
        out.blockedName = blocked->name;
        return out;
    }
    // Killed while going back, the next run goes on back: the journal says so first.
    if (!forward) {
        journal.state = JournalState::Undoing;
        try {
            store.write(journal);
        } catch (const platform::AppError &e) {
            out.result = SettleOutcome::Refused;
            out.journalError = e.description();
            return out;
        }
    }
    moves.beforeRescue = [&](qsizetype i) {
        journal.files[size_t(i)].rescueName = platform::fileNamePart(moves.files()[size_t(i)].rescuePath);
        writeQuietly(store, journal);
    };

    if (forward) {
        const auto failure = moves.forward();
        if (!failure) {
            journal.state = JournalState::Done;
            writeQuietly(store, journal);
            return out;
        }
        out.result = SettleOutcome::Failed;
        out.failedPath = files[size_t(failure->file)].oldPath;
        out.description = failure->description;
        journal.state = JournalState::Undoing;
        writeQuietly(store, journal);
    }
    const std::vector<qsizetype> notBack = moves.backward();
    for (qsizetype k : notBack) {
        const MovingFile &f = moves.files()[size_t(k)];
        out.notRestored.emplace_back(f.oldPath, f.pathAt(moves.spot(k)));
    }
    if (notBack.empty()) {
        try {
            store.remove();
        } catch (const platform::AppError &e) {
            qCWarning(lcRename) << "journal not removed:" << e.description();
        }
    } else if (out.result == SettleOutcome::Settled) {
        out.result = SettleOutcome::Failed;
        const MovingFile &f = moves.files()[size_t(notBack.front())];
        out.failedPath = f.pathAt(moves.spot(notBack.front()));
        out.description = moves.lastError();
    }
    return out;
}

} // namespace renbulk
