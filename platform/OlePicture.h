#pragma once
#include "platform/GdiObjects.h"
#include "platform/GdiPlus.h"
#include "platform/Picture.h"

#include <cstdint>

// The one OLE call that turns a device bitmap into a picture object the toolkit's picture
// boxes can show. The toolkit's pictures (platform::Picture) are reference counted already:
// copies share the pixels, and the last copy to go frees them.
namespace platform::ole {

using HRESULT = std::int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

constexpr std::uint32_t PICTYPE_BITMAP = 1;
// The description's size as the 32-bit interface lays it out: two counts and the largest
// member of its union (a metafile's handle and extent, 12 bytes).
constexpr std::uint32_t kPictDescSize = 20;

struct PICTDESC {
    std::uint32_t cbSizeofstruct;
    std::uint32_t picType;
    gdi::HBITMAP hbitmap;
    void *hpal;
};

// {00020400-0000-0000-C000-000000000046} and {7BF80980-BF32-101A-8BBB-00AA00300CAB}.
constexpr gdiplus::GUID IID_IDispatch = {0x00020400, 0x0000, 0x0000,
                                         {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr gdiplus::GUID IID_IPicture = {0x7BF80980, 0xBF32, 0x101A,
                                        {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

// A picture object of a bitmap (PICTYPE_BITMAP only, asked for as IDispatch or IPicture).
// With `own` the object takes the bitmap: the handle is released here and its pixels live
// on in the picture until its last copy goes. Without, the caller keeps the handle (and
// deletes it) and the picture shares the pixels as they are now.
HRESULT OleCreatePictureIndirect(const PICTDESC *desc, const gdiplus::GUID &riid, bool own,
                                 Picture *out);

} // namespace platform::ole
