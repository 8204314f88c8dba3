#include "tools/ParallelRun.h"

#include "platform/Toolkit.h"

#include <chrono>
#include <new>

namespace tools {
namespace {

// A worker's run is sized as the window was when the run started.
class FixedRunView : public RunView {
public:
    explicit FixedRunView(QSize size) : size_(size) {}
    QSize clientSizePx() const override { return size_; }

private:
    QSize size_;
};

// Often enough for the window to repaint and take a Stop while it waits.
constexpr std::chrono::milliseconds kEventsEvery{15};

} // namespace

struct ParallelRun::Worker {
    Worker(std::unique_ptr<ToolRecipe> r, QSize client)
        : recipe(std::move(r)), view(client), run(std::make_unique<PictureRun>(*recipe, view))
    {
    }

    std::unique_ptr<ToolRecipe> recipe;
    FixedRunView view;
    std::unique_ptr<PictureRun> run;
    std::thread thread;
};

ParallelRun::ParallelRun(const PictureRun &model, int threads)
{
    for (int i = 0; i < std::max(1, threads); ++i) {
        auto w = std::make_unique<Worker>(model.recipe_.cloneForWorker(), model.view_.clientSizePx());
        PictureRun &r = *w->run;
        static_cast<ToolState &>(r) = static_cast<const ToolState &>(model);
        r.Picture1 = model.Picture1;
        r.Picture1.onChanged = nullptr;   // shown by no window
        r.CommonDialog = model.CommonDialog;
        r.output = model.output;
        r.scaleMode_ = model.scaleMode_;
        workers_.push_back(std::move(w));
    }
    for (auto &w : workers_)
        w->thread = std::thread([this, worker = w.get()] { work(*worker); });
}

ParallelRun::~ParallelRun()
{
    {
        std::unique_lock lock(mutex_);
        closing_ = true;
        queue_.clear();
        wanted_.notify_all();
        // An entry under way ends with its own intermediate file removed; its output is
        // dropped with the results.
        waitWithEvents(lock, [this] { return underWay_ == 0; });
    }
    for (auto &w : workers_)
        w->thread.join();
}

template <class Ready>
void ParallelRun::waitWithEvents(std::unique_lock<std::mutex> &lock, Ready ready)
{
    while (!ready()) {
        if (done_.wait_for(lock, kEventsEvery, ready))
            return;
        lock.unlock();
        platform::doEvents();
        lock.lock();
    }
}

void ParallelRun::feed(const platform::FolderListing &listing, const QStringList &accepted,
                       qsizetype from)
{
    const QStringList &names = listing.names();
    const qsizetype ahead = 2 * qsizetype(workers_.size());
    const std::lock_guard lock(mutex_);
    fedUpTo_ = std::max(fedUpTo_, from);
    for (; fedUpTo_ < names.size() && fedUpTo_ <= from + ahead; ++fedUpTo_) {
        const QString &name = names[fedUpTo_];
        if (isAcceptedExtension(splitEntryName(name).curext, accepted))
            queue_.emplace_back(fedUpTo_, name);
    }
    wanted_.notify_all();
}

WorkedEntry ParallelRun::take(qsizetype index)
{
    std::unique_lock lock(mutex_);
    waitWithEvents(lock, [this, index] { return results_.count(index) != 0; });
    WorkedEntry r = std::move(results_[index]);
    results_.erase(index);
    return r;
}

void ParallelRun::work(Worker &w)
{
    PictureRun &run = *w.run;
    for (;;) {
        std::pair<qsizetype, QString> entry;
        {
            std::unique_lock lock(mutex_);
            wanted_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (closing_)
                return;
            entry = std::move(queue_.front());
            queue_.pop_front();
            ++underWay_;
        }
        WorkedEntry r;
        PictureRun::DeferredOutput out;
        run.curfile = entry.second;
        run.deferred_ = &out;
        try {
            w.recipe->prepareEntrySurfaces(run);
            run.takeEntryName();
            run.processListedEntry();
            r.outputPath = out.path;
            r.output = std::move(out.data);
        } catch (const platform::AppError &e) {
            r.failure = e.description();
        } catch (const std::bad_alloc &) {
            r.failure = platform::AppError(platform::ErrorKind::OutOfMemory,
                                           {run.curdir + run.curfile})
                            .description();
        }
        run.deferred_ = nullptr;
        const std::lock_guard lock(mutex_);
        results_[entry.first] = std::move(r);
        --underWay_;
        done_.notify_all();
    }
}

} // namespace tools
