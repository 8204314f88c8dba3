// What Undo Rename and the journal of the folder's last rename do in the window: undo, take a
// rename cut short to an end, and keep a second rename off a folder another one holds.
#include "rename/frm_RenBulk.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "rename/JournaledRename.h"
#include "rename/ListBox.h"
#include "rename/RenameMessages.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QAction>
#include <QLineEdit>

using shell::tx;

void frm_RenBulk::settleInterrupted(const QString &folder)
{
    renbulk::FolderJournal journal(folder);
    if (journal.folder().isEmpty())
        return;
    try {
        // Another Pixmar at work on the folder: what it leaves is its own to settle.
        if (!journal.hold())
            return;
    } catch (const platform::AppError &) {
        return;   // no state folder: no journal either
    }
    const renbulk::FolderState state = renbulk::inspectFolder(journal);
    if (state.kind == renbulk::FolderState::Unusable) {
        renbulk::showJournalRefused(state, folder, outcome_);
        outcome_.recoveryFailed = true;
        return;
    }
    if (state.kind != renbulk::FolderState::Interrupted && state.kind != renbulk::FolderState::InterruptedUndo)
        return;
    if (onInterrupted == OnInterrupted::Leave) {
        outcome_.interruptedLeft = true;
        shell::showMessage(tx("renbulk.msg.interruptedLeft").arg(platform::shownPath(folder)),
                           tx("common.title.pixmar"));
        return;
    }
    // An undo cut short is taken to its end; a rename cut short is the user's to choose.
    const bool renaming = state.kind == renbulk::FolderState::Interrupted;
    const bool forward = renaming && onInterrupted == OnInterrupted::Ask
                         && platform::toolkit().messageBox(
                                tx("renbulk.msg.interrupted")
                                    .arg(platform::shownPath(folder), QString::number(state.atNew),
                                         QString::number(state.moving)),
                                tx("common.title.pixmar"), platform::MsgIcon::Question,
                                platform::MsgButtons::YesNo)
                                == platform::MsgResult::Yes;
    const char *doneKey = !renaming ? "renbulk.msg.undoCompleted"
                          : forward ? "renbulk.msg.finished"
                                    : "renbulk.msg.rolledBack";
    renbulk::SettleOutcome settled;
    {
        BusyScope busy(*this);
        settled = renbulk::settle(journal, state, forward);
    }
    renbulk::showSettled(settled, folder, doneKey, outcome_);
    outcome_.recoveryFailed = settled.result != renbulk::SettleOutcome::Settled;
}

bool frm_RenBulk::holdFolder(renbulk::FolderJournal &journal, const QString &folder)
{
    try {
        if (journal.hold())
            return true;
        renbulk::showFolderBusy(folder, outcome_);
    } catch (const platform::AppError &e) {
        outcome_.refused = true;
        shell::showInputFault(tx("renbulk.msg.journalNotWritten").arg(e.description()), tx("renbulk.title.journal"));
    }
    return false;
}

bool frm_RenBulk::mayRename(renbulk::FolderJournal &journal, const QString &folder)
{
    if (!holdFolder(journal, folder))
        return false;
    const renbulk::FolderState state = renbulk::inspectFolder(journal);
    if (state.kind == renbulk::FolderState::Unusable) {
        renbulk::showJournalRefused(state, folder, outcome_);
        return false;
    }
    if (state.kind == renbulk::FolderState::Interrupted || state.kind == renbulk::FolderState::InterruptedUndo) {
        outcome_.refused = true;
        shell::showInputFault(tx("renbulk.msg.interruptedFirst").arg(platform::shownPath(folder)),
                              tx("renbulk.title.journal"));
        return false;
    }
    if (platform::onReadOnlyFileSystem(folder)) {
        renbulk::showReadOnly(folder, outcome_);
        return false;
    }
    return true;
}

void frm_RenBulk::mnu_undo_Click()
{
    if (isBusy())
        return;
    // The folder in the box, else the one this window renamed last, else one the user picks.
    QString folder = txtDirectory->text();
    if (folder.isEmpty())
        folder = lastRenamedFolder_;
    if (folder.isEmpty())
        folder = shell::BrowseForFolder(this);
    if (folder.isEmpty()) {
        outcome_ = {};
        outcome_.refused = true;
        shell::showInputFault(tx("common.msg.noSource"), tx("common.title.invalidFolder"));
        return;
    }
    undoRename(folder);
}

void frm_RenBulk::undoRename(const QString &folder)
{
    if (isBusy())
        return;
    outcome_ = {};
    renbulk::FolderJournal journal(folder);
    if (journal.folder().isEmpty()) {
        outcome_.refused = true;
        shell::showInputFault(platform::AppError(platform::ErrorKind::PathNotFound, {folder}).description(),
                              tx("common.title.invalidFolder"));
        return;
    }
    if (!holdFolder(journal, folder))
        return;
    const renbulk::FolderState state = renbulk::inspectFolder(journal);
    if (state.kind == renbulk::FolderState::NoJournal) {
        outcome_.refused = true;
        shell::showInputFault(tx("renbulk.msg.nothingToUndo").arg(platform::shownPath(folder)),
                              tx("renbulk.title.undo"));
        return;
    }
    if (state.kind == renbulk::FolderState::Unusable) {
        renbulk::showJournalRefused(state, folder, outcome_);
        return;
    }
    // A rename cut short is rolled back entirely, an undo cut short taken to its end.
    const char *doneKey = state.kind == renbulk::FolderState::Done          ? "renbulk.msg.undone"
                          : state.kind == renbulk::FolderState::Interrupted ? "renbulk.msg.rolledBack"
                                                                            : "renbulk.msg.undoCompleted";
    renbulk::SettleOutcome settled;
    {
        BusyScope busy(*this);
        settled = renbulk::settle(journal, state, false);
    }
    outcome_.undone = renbulk::showSettled(settled, folder, doneKey, outcome_);
    // A listing of the folder shows the names it holds now.
    if (lstFiles1->count() > 0
        && platform::canonicalFolder(txtDirectory->text()) == platform::canonicalFolder(folder)) {
        lstFiles1->clear();
        ListFolder();
    }
}
