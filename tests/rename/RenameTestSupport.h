#pragma once
#include "platform/Files.h"
#include "rename/JournaledRename.h"
#include "rename/RenamePlan.h"

#include <QString>
#include <QStringList>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

// Pieces the rename tests share.
namespace renametest {

// The plan the window makes for every plain file of `folder` in name order.
inline renbulk::RenamePlan planFolder(const QString &folder, const QString &prefix)
{
    QStringList paths;
    for (const QString &name : platform::listPlainFilesExact(folder))
        paths << platform::withSeparator(folder) + name;
    return renbulk::planRename(paths, prefix);
}

// How many moves the run of `plan` makes: two for a file that waits under a temporary name.
inline int movesOf(const renbulk::RenamePlan &plan)
{
    int moves = 0;
    for (const renbulk::MovingFile &f : renbulk::movingFiles(plan))
        moves += f.moves() ? (f.tempPath.isEmpty() ? 1 : 2) : 0;
    return moves;
}

// Runs the journaled rename of `folder` in a child process that kills itself with SIGKILL
// after `killAfter` moves, as a power cut or "kill -9" would end it. Returns true when the
// child died of SIGKILL (false: it ended on its own, having run whole).
inline bool renameKilledAfter(const QString &folder, const QString &prefix, int killAfter)
{
    const renbulk::RenamePlan plan = planFolder(folder, prefix);
    const pid_t pid = ::fork();
    if (pid == 0) {
        renbulk::FolderJournal journal(folder);
        if (!journal.hold())
            ::_exit(3);
        int moves = 0;
        renbulk::executeJournaled(plan, journal, {}, {}, [&] {
            if (++moves == killAfter)
                ::raise(SIGKILL);
        });
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

} // namespace renametest
