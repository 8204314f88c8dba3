#pragma once
#include "rename/JournaledRename.h"
#include "shell/Outcome.h"

// The boxes that tell the user what a folder's journal holds and what undoing, finishing or
// rolling back came to, in the language of the moment. Each also goes into the record of
// the command that showed it.
namespace renbulk {

// A journal that is not acted on, and why; `record` counts it as refused.
void showJournalRefused(const FolderState &state, const QString &folder, shell::Outcome &record);
// Another rename holds the folder.
void showFolderBusy(const QString &folder, shell::Outcome &record);
// The folder is on a read-only file system.
void showReadOnly(const QString &folder, shell::Outcome &record);
// What a settle came to; `doneKey` is the text of a walk that ended whole (%1 the folder,
// %2 the files). Returns true when it ended whole.
bool showSettled(const SettleOutcome &outcome, const QString &folder, const char *doneKey,
                 shell::Outcome &record);
// The "old -> where now" lines of files that could not be put back.
QString notRestoredLines(const std::vector<std::pair<QString, QString>> &notRestored);

} // namespace renbulk
