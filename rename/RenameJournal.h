#pragma once
#include "platform/FileLock.h"
#include "rename/RenameMoves.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// The record of a folder's last rename, written and flushed to the disk before the first file
// moves: each file's old, temporary and new name and what tells it apart. With it, and the
// names the folder holds, a rename cut short at any point can be finished or rolled back, and
// a finished one undone. It lives in the user's state folder, never in the renamed folder,
// one file per folder, beside the lock that lets one rename at a time work on that folder.
namespace renbulk {

enum class JournalState { Renaming, Done, Undoing };

struct JournalFile {
    QString oldName;      // names within the folder, carried exactly (platform::nativePath)
    QString tempName;     // empty when none
    QString rescueName;   // empty when none
    QString newName;
    FileIdentity id;
};

struct Journal {
    QString folder;              // the folder's real path
    quint64 folderInode = 0;
    quint32 user = 0;
    JournalState state = JournalState::Renaming;
    std::vector<JournalFile> files;

    // The files as the moves see them, and back.
    std::vector<MovingFile> movingFiles() const;
    static std::vector<JournalFile> fromMoving(const std::vector<MovingFile> &files);
};

// Why a journal is not acted on.
enum class JournalFault {
    Truncated,      // it ends before its last line
    Corrupt,        // its checksum or a line of it is wrong
    OtherFolder,    // it records another folder
    OtherUser,      // it belongs to another user
    Unreadable,     // it cannot be read (detail: the system's reason)
};

QByteArray serializeJournal(const Journal &journal);
// The serialized journal `bytes` with its state changed (and its checksum with it), without
// writing every file again.
QByteArray withState(const QByteArray &bytes, JournalState state);
// The journal in `bytes`, or the fault that refuses it (its format and checksum only).
struct ParsedJournal {
    std::optional<Journal> journal;
    JournalFault fault = JournalFault::Corrupt;
};
ParsedJournal parseJournal(const QByteArray &bytes);

// The journal and lock files of one folder.
class FolderJournal {
public:
    explicit FolderJournal(const QString &folder);

    // The folder's real path, ending in a separator (empty when it does not exist).
    const QString &folder() const { return folder_; }
    QString journalPath() const { return base_ + QStringLiteral(".journal"); }

    // Takes the folder for this process until the object goes; false while another holds it.
    // Throws AppError when the state folder cannot be made.
    bool hold();

    struct Read {
        bool exists = false;
        std::optional<Journal> journal;   // set when it exists and may be acted on
        JournalFault fault = JournalFault::Corrupt;
        QString detail;                   // the folder it records, or the system's reason
    };
    Read read() const;
    // The journal's bytes as they are, unchecked (empty when there is none).
    QByteArray readBytes() const;
    // Replaces the journal, whole, flushed to the disk (unless `flush` is false). Throws AppError.
    void write(const Journal &journal) const;
    void writeBytes(const QByteArray &bytes, bool flush = true) const;
    void remove() const;

    // A new journal for this folder, for the user running the program.
    Journal fresh() const;

private:
    QString asked_;
    QString folder_;
    quint64 inode_ = 0;
    QString base_;
    platform::FileLock lock_;
};

// The folder of the journals and locks.
QString journalFolder();

} // namespace renbulk
