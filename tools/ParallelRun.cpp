#include "tools/ParallelRun.h"

#include "platform/Toolkit.h"

#include <QFileInfo>
#include <QImageReader>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <unistd.h>

#include <chrono>
#include <new>

namespace tools {
namespace {

// A worker tells nothing itself: what fails in its entries reaches the run as an error, and the
// run asks about it on its own thread.
class WorkerHost : public RunHost {
public:
    void inputFault(const QString &, const QString &) override {}
    void error(const QString &) override {}
    bool continueAfter(const QString &) override { return false; }
    void report(const QString &, const QString &) override {}
};

// Often enough for the window to repaint and take a Stop while it waits.
constexpr std::chrono::milliseconds kEventsEvery{15};

// Half the machine's memory: the rest is the system's and the other programs'.
qint64 defaultMemoryBudget()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    constexpr qint64 kWithoutAnswer = qint64(2) << 30;
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize / 2 : kWithoutAnswer;
}

} // namespace

struct ParallelRun::Worker {
    explicit Worker(std::unique_ptr<ToolRecipe> r)
        : recipe(std::move(r)), run(std::make_unique<PictureRun>(*recipe, host))
    {
    }

    std::unique_ptr<ToolRecipe> recipe;
    WorkerHost host;
    std::unique_ptr<PictureRun> run;
    std::thread thread;
};

ParallelRun::ParallelRun(const PictureRun &model, int threads) : budget_(defaultMemoryBudget())
{
    for (int i = 0; i < std::max(1, threads); ++i) {
        auto w = std::make_unique<Worker>(model.recipe_.cloneForWorker());
        PictureRun &r = *w->run;
        static_cast<ToolState &>(r) = static_cast<const ToolState &>(model);
        r.Picture1 = model.Picture1;
        r.Picture1.onChanged = nullptr;   // shown by no window
        r.CommonDialog = model.CommonDialog;
        r.output = model.output;
        r.previewBox = model.previewBox;
        r.scaleMode_ = model.scaleMode_;
        r.watched_ = model.watched_;
        r.clickPx_ = model.clickPx_;
        r.clickedOn_ = model.clickedOn_;
        workers_.push_back(std::move(w));
    }
    try {
        for (auto &w : workers_)
            w->thread = std::thread([this, worker = w.get()] { work(*worker); });
    } catch (...) {
        // The system would not start another thread: those started are ended before the
        // failure goes on.
        close();
        throw;
    }
}

ParallelRun::~ParallelRun() { close(); }

void ParallelRun::close()
{
    {
        std::unique_lock lock(mutex_);
        closing_ = true;
        queue_.clear();
        wanted_.notify_all();
        // An entry under way ends with its output staged; it is dropped with the results.
        waitWithEvents(lock, [this] { return underWay_ == 0; });
    }
    for (auto &w : workers_)
        if (w->thread.joinable())
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

qint64 ParallelRun::memoryClaim(const PictureRun &run, const QString &name)
{
    // The decoded picture, the surface it is drawn on, the image written and the encoder's
    // copy; a fitted JPEG is decoded at the fitted size, which is small.
    constexpr qint64 kOwnSizeBytesPerPixel = 16, kDecodedBytesPerPixel = 4;
    const bool ownSize = run.output.originalSize;
    const bool jpeg =
        platform::formats::outputFor(splitEntryName(name).curext).id == platform::formats::Id::Jpeg;
    if (!ownSize && jpeg)
        return 0;
    const QString path = run.curdir + name;
    // Something else put in its place since the listing (a FIFO would hold the read) is left
    // to the decoder, which refuses it.
    if (!QFileInfo(path).isFile())
        return 0;
    const QSize s = QImageReader(path).size();
    if (!s.isValid())
        return 0;   // the worker finds out what is wrong with it
    return qint64(s.width()) * s.height() * (ownSize ? kOwnSizeBytesPerPixel : kDecodedBytesPerPixel);
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
        // Pictures at their own size take their whole size several times over: several such
        // at once on many cores could take more memory than the machine has.
        const qint64 claim = memoryClaim(run, entry.second);
        {
            std::unique_lock lock(mutex_);
            wanted_.wait(lock, [this, claim] { return closing_ || claimed_ == 0 || claimed_ + claim <= budget_; });
            if (closing_) {
                --underWay_;
                done_.notify_all();
                return;
            }
            claimed_ += claim;
        }
        WorkedEntry r;
        PictureRun::DeferredOutput out;
        run.curfile = entry.second;
        run.deferred_ = &out;
        try {
            w.recipe->prepareEntrySurfaces(run);
            run.takeEntryName();
            run.workEntry();
            r.output = std::move(out.staged);
            r.markFit = run.lastMarkFit_;
            r.shown = std::move(out.shown);
        } catch (const platform::AppError &e) {
            r.failure = e.description();
        } catch (const std::bad_alloc &) {
            r.failure = platform::AppError(platform::ErrorKind::OutOfMemory,
                                           {run.curdir + run.curfile})
                            .description();
        }
        run.deferred_ = nullptr;
#ifdef __GLIBC__
        // What a large entry freed is given back before the next one: a worker's own memory
        // pool would otherwise keep it, and each entry would start above the last one's peak.
        if (claim > 0)
            ::malloc_trim(0);
#endif
        const std::lock_guard lock(mutex_);
        results_[entry.first] = std::move(r);
        --underWay_;
        claimed_ -= claim;
        done_.notify_all();
        wanted_.notify_all();
    }
}

} // namespace tools
