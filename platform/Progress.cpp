#include "platform/Progress.h"

#include "platform/Toolkit.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace platform {
namespace {

// A signal handler may only touch lock-free atomics.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

ProgressSink &sink()
{
    static ProgressSink s;
    return s;
}

} // namespace

void requestStop() noexcept { g_stop.store(true, std::memory_order_relaxed); }
bool stopRequested() noexcept { return g_stop.load(std::memory_order_relaxed); }
void clearStop() noexcept { g_stop.store(false, std::memory_order_relaxed); }

void reportProgress(int index, int count, const QString &name)
{
    // The window first, so that whoever the toolkit tells sees the window as it is now.
    if (sink())
        sink()(index, count, name);
    toolkit().progress(index, count, name);
}

ProgressSink setProgressSink(ProgressSink s) { return std::exchange(sink(), std::move(s)); }

void runAwayFromWindow(const std::function<void(const ProgressReport &)> &work)
{
    struct Report {
        int index, count;
        QString name;
    };
    std::mutex m;
    std::condition_variable cv;
    std::optional<Report> pending;
    bool finished = false;
    std::exception_ptr thrown;

    const ProgressReport report = [&](int index, int count, const QString &name) {
        std::unique_lock lock(m);
        pending = Report{index, count, name};
        cv.notify_all();
        cv.wait(lock, [&] { return !pending; });
    };
    std::thread worker([&] {
        try {
            work(report);
        } catch (...) {
            thrown = std::current_exception();
        }
        std::lock_guard lock(m);
        finished = true;
        cv.notify_all();
    });

    // Often enough for a window that repaints while it is moved, rarely enough to cost nothing.
    constexpr auto kPoll = std::chrono::milliseconds(15);
    std::unique_lock lock(m);
    while (!finished) {
        cv.wait_for(lock, kPoll, [&] { return finished || pending.has_value(); });
        if (pending) {
            const Report r = *pending;
            lock.unlock();
            reportProgress(r.index, r.count, r.name);
            lock.lock();
            pending.reset();
            cv.notify_all();
        }
        lock.unlock();
        doEvents();
        lock.lock();
    }
    lock.unlock();
    worker.join();
    if (thrown)
        std::rethrow_exception(thrown);
}

} // namespace platform
