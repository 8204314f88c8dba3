#pragma once
#include <QImage>
#include <QSize>

// Pictures decoded whole, one after another (a folder at its own size), would each take fresh
// pages from the system, which zeroes every page before handing it over: a quarter of such a
// run went to that alone. The blocks a large picture leaves behind are kept for the next one
// of the same size instead (a landscape photo's block serves the portrait one after it).
namespace platform::pixelpool {

// An image of `size` and `format` with uninitialised pixels from the pool; when its last copy
// goes, the block goes back. Images under the pool's size, and formats with a colour table,
// are allocated as QImage allocates them. Null when there is no memory.
QImage image(QSize size, QImage::Format format);

// The blocks kept and not in use, in bytes.
qsizetype keptBytes();
// Gives every kept block back to the system (a run has ended).
void release();

} // namespace platform::pixelpool
