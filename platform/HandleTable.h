#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform {

// The objects a flat, C-style interface hands out as raw handles, owned here. Every handle a
// caller passes in is looked up before anything is read through it, so a handle that was
// released (or never handed out) is refused instead of being used after its object went.
// The workers of a bulk run each make and release their own objects at the same time, so the
// table itself is locked; an object is only ever used by the thread that made it.
template <class T>
class HandleTable {
public:
    T *add(std::unique_ptr<T> object)
    {
        T *handle = object.get();
        const std::lock_guard lock(mutex_);
        objects_.emplace(handle, std::move(object));
        return handle;
    }
    bool contains(T *handle) const
    {
        const std::lock_guard lock(mutex_);
        return handle && objects_.count(handle) != 0;
    }
    // Releases the object; a handle the table does not hold is ignored.
    void remove(T *handle)
    {
        std::unique_ptr<T> gone;   // destroyed outside the lock
        const std::lock_guard lock(mutex_);
        if (auto it = objects_.find(handle); it != objects_.end()) {
            gone = std::move(it->second);
            objects_.erase(it);
        }
    }
    void clear()
    {
        std::unordered_map<T *, std::unique_ptr<T>> gone;
        const std::lock_guard lock(mutex_);
        gone.swap(objects_);
    }
    std::size_t size() const
    {
        const std::lock_guard lock(mutex_);
        return objects_.size();
    }
    bool empty() const { return size() == 0; }

    // True when `pred` holds for one of the live objects.
    template <class Pred>
    bool any(Pred pred) const
    {
        const std::lock_guard lock(mutex_);
        for (const auto &entry : objects_)
            if (pred(*entry.second))
                return true;
        return false;
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<T *, std::unique_ptr<T>> objects_;
};

} // namespace platform
