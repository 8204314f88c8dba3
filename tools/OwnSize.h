#pragma once
#include "platform/Picture.h"
#include "platform/Surface.h"

#include <QSizeF>

// Outputs at the picture's own size: what the preview showed, drawn again on a surface the
// size of the picture, scaled by that picture's own factor.
namespace tools {

class PictureRun;

// The current entry's picture at its own (upright) size. A picture whose output would be
// over platform::limits::kMaxOwnSizePixels is refused (ErrorKind::TooLargeForOwnSize) before
// it is decoded whole.
platform::Picture loadOwnSizePicture(const PictureRun &run);
// True when the picture at `path` says in its header that it is over what an output at its
// own size may have, whatever else is wrong with it.
bool tooLargeForOwnSize(const QString &path);

// Sizes `surface` to the picture in pixels, without a border, and paints it there with
// drawing kept, so that its persistent image is the output. An opaque picture handed over
// as the only holder of its pixels becomes the surface's image without a copy.
void paintAtOwnSize(platform::Surface &surface, platform::Picture picture);

// From the preview's drawn pixels to the picture's own, each way.
QSizeF ownSizeFactor(const platform::Surface &preview, const platform::Picture &picture);

} // namespace tools
