#pragma once
#include <QImage>
#include <QSize>

namespace platform {

// What img.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation) gives, pixel for
// pixel and with the same metadata. Every fitted output passes through two such scalings (the
// decoder's reduction to the preview and the doubled enlargement), which Qt does one output
// pixel at a time with a fresh weight sum for each; here a 32-bit picture reduced or enlarged
// both ways is scaled one direction at a time, each source row once, on the calling thread.
// Any other case (other formats, one side up and one down, mirrored) is Qt's own.
QImage smoothScaled(const QImage &img, QSize size);

// Whether the AVX2 kernels are used where the processor has them (the default); false gives
// the kernels of processors without, as a test needs. Returns the setting before.
bool useWideKernels(bool on);

} // namespace platform
