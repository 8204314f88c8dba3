#pragma once
#include <FreeImage.h>
#include <memory>

namespace platform {

// A FreeImage bitmap with an owner, so that every early return releases it.
struct FreeImageUnload {
    void operator()(FIBITMAP *bitmap) const
    {
        if (bitmap)
            FreeImage_Unload(bitmap);
    }
};
using FreeImagePtr = std::unique_ptr<FIBITMAP, FreeImageUnload>;

} // namespace platform
