#pragma once
#include "platform/GdiPlus.h"
#include "platform/Picture.h"

#include <QSize>
#include <QString>
#include <cstdint>

// Loads any picture the imaging library decodes (transparency included) into a new bitmap of
// the display's depth, on a background colour, as a picture the picture boxes can show. The
// library is started and stopped around each use by the caller.
namespace modGDIPlusResize {

using Token = platform::gdiplus::ULONG_PTR;

// Starts the imaging library (version 1, its own background thread, external codecs allowed)
// and gives its token. The start-up status is not looked at: a library that did not start
// makes the load fail with its own error.
Token StartGdiPlus();
void StopGdiPlus(Token &token);

// The size a w0 × h0 picture is drawn at in a width × height box keeping its proportions:
// the full width when the box is relatively narrower than the picture, else the full height;
// the other side rounded to the nearest pixel, halves to the even neighbour.
QSize keepProportionsSize(int w0, int h0, int width, int height);

// The picture file rendered into a width × height bitmap filled first with `lBackColor`
// (0x00BBGGRR), so that transparent parts come out in that colour. -1 in lWidth or lHeight
// stands for the picture's own size: both are then set to it. With bKeepAspect the picture
// keeps its proportions at the top-left corner of the bitmap. On a 32-bit display the
// bitmap keeps, in its spare byte, the alpha the drawing leaves: the picture's own alpha over
// a black background.
// `shown`, when given with -1 for the size and no proportions kept, is as much of the result's
// top-left as can ever be seen: the picture is decoded and drawn only that far, and the
// bitmap is no larger (lWidth and lHeight still receive the picture's own size). A huge logo
// on a preview costs what the preview shows of it.
// Throws platform::AppError (ErrorKind::PictureNotLoaded: 999, "GDI+ Module", "Error loading
// picture " + path) when the file cannot be loaded; everything made in the call is released
// on every path.
platform::Picture LoadPictureScaled(const QString &sFileName, int &lWidth, int &lHeight,
                                    std::uint32_t lBackColor, bool bKeepAspect,
                                    QSize shown = {});

} // namespace modGDIPlusResize
