#include "platform/Progress.h"

#include "platform/Toolkit.h"

#include <atomic>
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

} // namespace platform
