#pragma once
#include <QString>
#include <functional>
#include <optional>
#include <vector>

// The moves of a bulk rename, one file at a time. Each file goes from its old name to its new
// one in at most two moves: first to a hidden temporary name when another file of the run
// wants its old name, then, once every such name is free, to its new name. Every move refuses
// a taken name. Because the files move in one fixed order, a run cut short at any point
// can be taken on to its end, or back to its start, by the same moves.
namespace renbulk {

// What tells a file apart from another that later takes one of its names: its inode number
// and, where the file system records it, its birth time (a file removed and another made in
// its place often gets the same inode number at once); where a file system numbers its files
// afresh at each mount (FAT, exFAT), its birth time, size and modification time.
struct FileIdentity {
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 birthNs = 0;   // 0: not recorded by the file system
};
// The identity of the entry at `path` (a link itself, not what it leads to).
std::optional<FileIdentity> identityAt(const QString &path);
// True when the folder's file system keeps inode numbers from one mount to the next.
bool keepsInodeNumbers(const QString &folder);
bool sameFile(const FileIdentity &recorded, const FileIdentity &found, bool inodesKept);

// Any directory entry holds its name, a dangling link included.
bool nameTaken(const QString &path);

// Where a file of a run is.
enum class Spot { Old, Temp, Rescue, New, Missing };

struct MovingFile {
    QString oldPath;
    QString tempPath;     // empty when the file moves straight to its new name
    QString rescuePath;   // a name given when going back found both its old name and its
                          // new one taken, so that it is never left under a temporary one
    QString newPath;
    FileIdentity id;

    bool moves() const { return oldPath != newPath; }
    QString pathAt(Spot s) const;
};

class Moves {
public:
    // Every file where `spots` says (at its old name when not given).
    explicit Moves(std::vector<MovingFile> files, std::vector<Spot> spots = {});

    const std::vector<MovingFile> &files() const { return files_; }
    Spot spot(qsizetype i) const { return spots_[size_t(i)]; }
    qsizetype count() const { return qsizetype(files_.size()); }

    // After every move made (a test ends the process here to see what a kill leaves).
    std::function<void()> afterMove;
    // Before a file takes its rescue name, which is already in files(): whoever keeps a
    // record of the run writes it down first.
    std::function<void(qsizetype)> beforeRescue;

    struct Failure {
        qsizetype file;
        QString description;
    };
    // Takes every file on to its new name. `onFileDone(i)` follows file i reaching it, in
    // file order; `shouldStop`, asked after each file but the last, ends the walk early.
    // Stops at the first move that fails and says which; a missing file is passed over.
    std::optional<Failure> forward(const std::function<void(qsizetype)> &onFileDone = {},
                                   const std::function<bool()> &shouldStop = {},
                                   bool *stopped = nullptr);
    // Takes every file back to its old name, the moves undone in reverse order. A file whose
    // move fails stays where it is; one that would stay under its temporary name gets a free
    // name made from its old one. Returns the files that are not back (missing ones aside).
    std::vector<qsizetype> backward();
    // The error of the last move that failed.
    const QString &lastError() const { return lastError_; }

    // Without moving anything: the first move of a walk forward (or back) that would find
    // its name taken, by a file outside the run or one of the run still in the way.
    struct Blocked {
        qsizetype file;
        QString name;
    };
    std::optional<Blocked> firstBlocked(bool forwardWalk) const;

private:
    using Mover = std::function<bool(qsizetype, Spot)>;
    static std::optional<qsizetype> walkForward(const std::vector<MovingFile> &files,
                                                std::vector<Spot> &spots, const Mover &move,
                                                const std::function<void(qsizetype)> &onFileDone,
                                                const std::function<bool()> &shouldStop, bool *stopped);
    static std::vector<qsizetype> walkBackward(const std::vector<MovingFile> &files,
                                               std::vector<Spot> &spots, const Mover &move);
    bool moveFile(qsizetype i, Spot to);

    std::vector<MovingFile> files_;
    std::vector<Spot> spots_;
    QString lastError_;
};

// Hidden names in the files' own folder for files waiting to take a name another file still
// holds: never shown in a listing, and always a rename within one file system.
class TempNames {
public:
    QString take(const QString &folder);

private:
    quint64 counter_ = 0;
};
// The prefix every temporary name starts with.
extern const QString kTempNamePrefix;

} // namespace renbulk
