#pragma once
#include "rename/RenameJournal.h"
#include "rename/RenamePlan.h"

#include <QStringList>

// A rename that can be undone and that survives a kill: the run, and what the journal of a
// folder lets the program do afterwards (undo it, finish it, roll it back). Every function
// here expects the caller to hold the folder (FolderJournal::hold).
namespace renbulk {

// executePlan with the folder's journal: the journal is written and flushed to the disk
// before the first file moves, says "done" when the run ends whole, and is put back as it
// was when the run ends with every file back under its old name. Every entry of the plan
// lies in the journal's folder. `afterMove` follows every single move.
RenameOutcome executeJournaled(const RenamePlan &plan, const FolderJournal &journal,
                               const RenamedCallback &onRenamed = {},
                               const std::function<bool()> &shouldStop = {},
                               const std::function<void()> &afterMove = {});

// What a folder's journal says, and for a rename cut short how far it got.
struct FolderState {
    enum Kind {
        NoJournal,
        Unusable,          // refused: fault and detail say why; never acted on
        Done,              // the last rename ended whole: it can be undone
        Interrupted,       // a rename was cut short: to be finished or rolled back
        InterruptedUndo,   // an undo (or a roll-back) was cut short: to be taken to its end
    };
    Kind kind = NoJournal;
    JournalFault fault = JournalFault::Corrupt;
    QString detail;
    QString journalPath;
    std::optional<Journal> journal;
    qsizetype moving = 0;   // files the rename moves
    qsizetype atNew = 0;    // of those, the ones under their new names now
};
FolderState inspectFolder(const FolderJournal &journal);

// What finishing, rolling back or undoing came to.
struct SettleOutcome {
    enum Result { Settled, Refused, Failed };
    Result result = Settled;
    qsizetype files = 0;          // files the journal moves that were found
    // Refused (nothing moved), one of:
    QString changedFile;          // renamed, removed or replaced since the rename ended
    QString blockedFile;          // needs a name that is taken ...
    QString blockedName;          // ... this one
    bool readOnly = false;        // the folder is on a read-only file system
    QString journalError;         // the journal cannot be written
    // Files of a cut-short rename found under none of their names: left as they are.
    QStringList missing;
    // Failed midway: the file, the error, and the files left away from their old names.
    QString failedPath;
    QString description;
    std::vector<std::pair<QString, QString>> notRestored;
};
// Takes the folder's last rename back to the old names (`forward` false: undo, roll back) or
// on to the new ones (`forward` true: finish). Undoing a rename that ended whole is refused
// while any of its files is no longer under its new name; every walk is refused, before
// anything moves, when a name it needs is taken. A finish that fails midway is rolled back.
// The journal goes when every file is back; it says "done" when a finish ends whole.
SettleOutcome settle(const FolderJournal &journal, const FolderState &state, bool forward);

} // namespace renbulk
