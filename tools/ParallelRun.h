#pragma once
#include "tools/PictureRun.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tools {

// What a worker made of one entry of a bulk run.
struct WorkedEntry {
    QString failure;       // the entry's error, empty when it was worked
    picture::StagedOutput output;   // written beside the output, put in place when its turn comes
    std::vector<platform::Surface> shown;   // the worker's preview and shown surfaces
    MarkFit markFit = MarkFit::Inside;      // where the entry's mark fell
};

// The entries of a bulk run worked on worker threads. Each worker has its own copy of the run
// and of the recipe, taken when the run starts, so that no surface is shared; a worker decodes,
// draws and encodes, and keeps the output's bytes. The run writes them on its own thread in
// listing order, so the files, the questions and the report come as from one thread, and what
// was worked ahead of a "No" or a Stop is dropped without ever reaching the target.
class ParallelRun {
public:
    ParallelRun(const PictureRun &model, int threads);
    // Drops what is queued and waits for the entries under way, letting events run.
    ~ParallelRun();
    ParallelRun(const ParallelRun &) = delete;
    ParallelRun &operator=(const ParallelRun &) = delete;

    int threads() const { return int(workers_.size()); }

    // Queues the accepted entries of `listing` from `from` on, keeping no more than twice the
    // workers ahead of the entry the run is at.
    void feed(const platform::FolderListing &listing, const QStringList &accepted, qsizetype from);
    // The result of entry `index` (queued by feed), waiting for it with events running.
    WorkedEntry take(qsizetype index);

private:
    struct Worker;
    void work(Worker &w);
    // Ends the workers: what is queued is dropped, the entries under way are waited for.
    void close();
    // What working entry `name` may take in memory at most, from its header.
    static qint64 memoryClaim(const PictureRun &run, const QString &name);
    // Waits on `done_` until `ready` holds, letting the window's events run meanwhile.
    template <class Ready>
    void waitWithEvents(std::unique_lock<std::mutex> &lock, Ready ready);

    std::vector<std::unique_ptr<Worker>> workers_;
    std::mutex mutex_;
    std::condition_variable wanted_;   // an entry was queued, or the run closes
    std::condition_variable done_;     // an entry was worked
    std::deque<std::pair<qsizetype, QString>> queue_;
    std::map<qsizetype, WorkedEntry> results_;
    qsizetype fedUpTo_ = 0;   // the listing position the next feed starts from
    int underWay_ = 0;
    // The memory the entries under way may claim together, in bytes: an entry that would take
    // more waits until the others are done (one entry alone always runs).
    qint64 budget_ = 0;
    qint64 claimed_ = 0;   // what the entries under way claim
    bool closing_ = false;
};

} // namespace tools
