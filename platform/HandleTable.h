#pragma once
#include <cstddef>
#include <memory>
#include <unordered_map>

namespace platform {

// The objects a flat, C-style interface hands out as raw handles, owned here. Every handle a
// caller passes in is looked up before anything is read through it, so a handle that was
// released (or never handed out) is refused instead of being used after its object went.
template <class T>
class HandleTable {
public:
    T *add(std::unique_ptr<T> object)
    {
        T *handle = object.get();
        objects_.emplace(handle, std::move(object));
        return handle;
    }
    bool contains(T *handle) const { return handle && objects_.count(handle) != 0; }
    // Releases the object; a handle the table does not hold is ignored.
    void remove(T *handle) { objects_.erase(handle); }
    void clear() { objects_.clear(); }
    std::size_t size() const { return objects_.size(); }
    bool empty() const { return objects_.empty(); }

    // True when `pred` holds for one of the live objects.
    template <class Pred>
    bool any(Pred pred) const
    {
        for (const auto &entry : objects_)
            if (pred(*entry.second))
                return true;
        return false;
    }

private:
    std::unordered_map<T *, std::unique_ptr<T>> objects_;
};

} // namespace platform
