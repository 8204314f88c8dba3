#include "platform/OlePicture.h"

namespace platform::ole {

HRESULT OleCreatePictureIndirect(const PICTDESC *desc, const gdiplus::GUID &riid, bool own,
                                 Picture *out)
{
    if (!out)
        return E_POINTER;
    *out = Picture();
    if (riid != IID_IDispatch && riid != IID_IPicture)
        return E_NOINTERFACE;
    if (!desc || desc->cbSizeofstruct != kPictDescSize || desc->picType != PICTYPE_BITMAP)
        return E_INVALIDARG;
    QImage pixels = gdi::bitmapImage(desc->hbitmap);
    if (pixels.isNull())
        return E_INVALIDARG;
    if (own && !gdi::DeleteObject(desc->hbitmap))
        return E_INVALIDARG;   // still selected into a context: GDI would not let it go
    *out = Picture(std::move(pixels));
    return S_OK;
}

} // namespace platform::ole
