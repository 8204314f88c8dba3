#pragma once
#include "rename/JournaledRename.h"
#include "shell/Outcome.h"

#include <QString>
#include <functional>

// The messages that tell the user what a folder's journal holds and what undoing, finishing or
// rolling back came to, in the language of the moment. Each also goes into the record of
// the command that told it.
namespace renbulk {

// Whoever is told what listing, renaming and undoing come to: the window in its boxes, the
// command line on its streams. The hooks after the messages let the window follow the work.
class RenameHost {
public:
    virtual ~RenameHost() = default;
    virtual void notice(const QString &text, const QString &title) = 0;
    virtual void error(const QString &description) = 0;
    virtual void inputFault(const QString &text, const QString &title) = 0;
    // A question answered Yes (true) or No.
    virtual bool ask(const QString &text, const QString &title) = 0;
    // Work that moves files or reads the whole folder; the window is busy meanwhile.
    virtual void whileBusy(const std::function<void()> &work) { work(); }
    virtual void listed(const QString &) {}
    virtual void listingEnded() {}
    // The run is about to move files; then each file under its new name as it is reached.
    virtual void renameStarting() {}
    virtual void renamed(const QString & /*oldPath*/, const QString & /*newPath*/) {}
    virtual void renameEnded() {}
};

// A journal that is not acted on, and why; `record` counts it as refused.
void showJournalRefused(const FolderState &state, const QString &folder, RenameHost &host, shell::Outcome &record);
// Another rename holds the folder.
void showFolderBusy(const QString &folder, RenameHost &host, shell::Outcome &record);
// The folder is on a read-only file system.
void showReadOnly(const QString &folder, RenameHost &host, shell::Outcome &record);
// What a settle came to; `doneKey` is the text of a walk that ended whole (%1 the folder,
// %2 the files). Returns true when it ended whole.
bool showSettled(const SettleOutcome &outcome, const QString &folder, const char *doneKey,
                 RenameHost &host, shell::Outcome &record);
// The "old -> where now" lines of files that could not be put back.
QString notRestoredLines(const std::vector<std::pair<QString, QString>> &notRestored);

} // namespace renbulk
