#pragma once
#include "rename/RenameMoves.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// The bulk rename as plain data: the whole run is planned before a single file moves, so that
// a name taken by a file outside the run is found before anything changes, and a run that
// fails midway can be undone step by step.
namespace renbulk {

// A run renames at most this many files; running numbers have this many digits.
constexpr qsizetype kMaxFiles = 10000;
constexpr int kNumberDigits = 4;

// The part of a name that survives the rename: everything after its first ".", or the whole
// name when it has none (photo.final.JPG keeps final.JPG, readme keeps readme).
QString keptPart(const QString &name);
// The running number of entry `index`: "0000" to "9999".
QString runningNumber(qsizetype index);
// prefix + "-" + number + "." + kept part of `oldName`.
QString newFileName(const QString &prefix, qsizetype index, const QString &oldName);
// The prefix as the rename uses it: the typed text without leading and trailing blanks.
QString effectivePrefix(const QString &typed);
// Keys are filtered, pasted text is not: a prefix must stay a plain part of a file name, so
// neither separator ("/" here, "\" in the folder texts the user sees) nor a control character
// may reach the file system. ".." cannot escape the folder without a separator.
bool prefixIsSafe(const QString &prefix);

struct RenameEntry {
    QString oldPath;
    QString newPath;
};

struct RenamePlan {
    std::vector<RenameEntry> entries;   // list order, at most kMaxFiles
    bool limitReached = false;          // the listing held more than kMaxFiles entries
};

// Plans the run for the full paths of the "Before" list with the prefix as typed. Each file
// keeps its folder: the run never moves a file out of the folder it was listed in.
RenamePlan planRename(const QStringList &paths, const QString &typedPrefix);

// A new name already held by a file (or folder, or link) that this run does not rename.
struct NameClash {
    QString wantedBy;   // the file of the run that would take the name
    QString takenBy;    // the path that already holds it
};
// The first clash in list order, if any. Names held by files of the run itself are no clash:
// the run frees them first.
std::optional<NameClash> findClash(const RenamePlan &plan);
// The entries (indexes, in list order) whose new names are held outside the run, at most
// `atMost` of them.
std::vector<qsizetype> findClashes(const RenamePlan &plan, qsizetype atMost = kMaxFiles);

struct RenameOutcome {
    qsizetype renamed = 0;          // files under their new names when the run ended
    bool failed = false;
    bool stopped = false;           // Stop was asked: every move was undone as after a failure
    qsizetype stoppedAfter = 0;     // files that had reached their new names when it came
    QString failedPath;             // the file whose move failed
    QString description;            // the error's own description
    // Files that could not be put back under their old names after a failure: "old" -> where
    // it is now (never a temporary name when any other name was free).
    std::vector<std::pair<QString, QString>> notRestored;
    // Set when the journal that makes the run undoable could not be written: nothing moved.
    QString journalError;
};

// Called after each file reaches its new name, in list order.
using RenamedCallback = std::function<void(qsizetype index, const QString &newPath)>;

// Carries out a plan that findClash accepted. Files whose current name another file of the
// run wants are first moved to temporary names, so no order of names can replace a file.
// Nothing is ever replaced (every move refuses a taken name). On a failure the run stops and
// every move made so far is undone in reverse order; the outcome then reports 0 renamed.
// `shouldStop`, asked after each file, ends the run the same way.
RenameOutcome executePlan(const RenamePlan &plan, const RenamedCallback &onRenamed = {},
                          const std::function<bool()> &shouldStop = {});

// The files of a plan as the moves see them: a temporary name (free now) for each file whose
// old name another file of the run wants.
std::vector<MovingFile> movingFiles(const RenamePlan &plan);
// Takes `moves` forward as executePlan does; on a failure or a stop, `beforeGoingBack` runs
// and every file is taken back.
RenameOutcome runMoves(Moves &moves, const RenamedCallback &onRenamed,
                       const std::function<bool()> &shouldStop, const std::function<void()> &beforeGoingBack);

} // namespace renbulk
