#pragma once
#include <QString>
#include <functional>

// Long commands (a picture run, a GIF listing or build, a rename) report each file they take
// on and look, after each file, whether the person watching asked them to stop.
namespace platform {

// Asks the running command to end after the file in hand. Safe to call from a signal handler:
// it only stores to a lock-free flag.
void requestStop() noexcept;
bool stopRequested() noexcept;
// The request is used up: the next command runs to its end unless asked again.
void clearStop() noexcept;

// File `index` (from 1) of `count`, `name`, is being worked on: the toolkit is told (a terminal
// prints it) and so is the window that shows the command's progress, if any.
void reportProgress(int index, int count, const QString &name);
using ProgressSink = std::function<void(int index, int count, const QString &name)>;
// Installs the window's sink (empty: none) and returns the one it replaces.
ProgressSink setProgressSink(ProgressSink sink);

// Runs `work` on a thread of its own while this (the window's) thread lets window events run
// and passes on the progress `work` hands it through `report` (to reportProgress, here). Each
// report waits until it was passed on, so a Stop pressed while it shows is seen before the
// next file. What `work` throws is thrown here once it ended.
using ProgressReport = std::function<void(int index, int count, const QString &name)>;
void runAwayFromWindow(const std::function<void(const ProgressReport &report)> &work);

} // namespace platform
