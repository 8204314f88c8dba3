#pragma once
#include <QString>
#include <vector>

namespace shell {

// A file (or folder) a command could not handle, and the error's own description.
struct FileFailure {
    QString path;
    QString reason;
};

// What a window's commands came to, kept as data beside the message boxes that told the user,
// so that whoever drives the window (the command line, a test) never has to read a box's
// icon, title or text to learn it. Each window adds what its command produces and says when
// the record starts afresh.
struct Outcome {
    bool refused = false;    // an input was refused before any work (a box says what to mend)
    bool stopped = false;    // "Continue?" was answered No, or Stop (Esc, a signal) was asked
    std::vector<FileFailure> failures;   // in the order they happened

    void fail(const QString &path, const QString &reason) { failures.push_back({path, reason}); }
};

} // namespace shell
