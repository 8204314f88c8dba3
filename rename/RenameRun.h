#pragma once
#include "rename/RenameMessages.h"
#include "rename/RenameOrder.h"
#include "shell/Outcome.h"

#include <QString>
#include <QStringList>

// What the listing of a folder and its last rename came to since a folder was last chosen or
// the window cleared (the run empties the lists itself; this record stays until then).
struct RenBulkOutcome : shell::Outcome {
    bool ran = false;            // the last Rename went through its checks and reported
    qsizetype renamed = 0;       // files under their new names after it
    bool limitReached = false;   // the listing held more files than a run renames
    // Opening the folder found a rename of it cut short and could not take it to an end (or
    // its journal was refused), so no new rename should start on it.
    bool recoveryFailed = false;
    bool interruptedLeft = false;  // a rename cut short was found and left as it is
    bool undone = false;           // Undo Rename gave the last rename's files their old names
};

// Listing, renaming and undoing a folder without a window: the rename window and the command
// line both call these, each with its own host to tell the user.
namespace renbulk {

// Lists every plain file of `folder` (ending in a separator) in name order, each path to
// host.listed; Stop keeps what is listed and says so. False when the folder cannot be listed.
bool listFolder(const QString &folder, RenameHost &host, RenBulkOutcome &outcome);
// The listed paths in `order` (the listing is in name order already).
QStringList orderListing(const QStringList &paths, Order order);

// What choosing a folder does with a rename of it that was cut short: ask whether to finish
// it or roll it back (the window), roll it back and say so (the command line), or leave it as
// it is and say so (a dry run).
enum class OnInterrupted { Ask, RollBack, Leave };
void settleInterrupted(const QString &folder, OnInterrupted how, RenameHost &host, RenBulkOutcome &outcome);

// How a run of Rename ended.
struct RenameRun {
    enum End {
        BadPrefix,   // the prefix was refused; no report
        Refused,     // the folder may not be renamed now (held, journal, read-only); no report
        Reported,    // the report of the files renamed was given
    };
    End end = Reported;
    QString folder;   // the folder whose files the run took in hand, as its journal names it
};
// Renames `paths` (the listing, each in the folder it was listed in) to `prefix`: the checks,
// the journaled run and what it came to, then the report.
RenameRun renameListed(const QStringList &paths, const QString &prefix, RenameHost &host,
                       RenBulkOutcome &outcome);

// Puts back the last rename of `folder` (or takes one cut short to its end). True when the
// journal was walked, whole or not; false when it was refused before anything moved.
bool undoRename(const QString &folder, RenameHost &host, RenBulkOutcome &outcome);

} // namespace renbulk
