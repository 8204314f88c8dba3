#include "platform/Surface.h"
#include "platform/SmoothScale.h"

#include <utility>

#include <QColorSpace>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace platform {
namespace {

constexpr int kDotsPerMeter96Dpi = 3780;

QImage blankImage(int w, int h, const QColor &fill)
{
    QImage img(std::max(w, 0), std::max(h, 0), QImage::Format_RGB32);
    img.setDotsPerMeterX(kDotsPerMeter96Dpi);
    img.setDotsPerMeterY(kDotsPerMeter96Dpi);
    img.fill(fill);
    return img;
}

QFont qfont(const FontSpec &f)
{
    QFont font(f.name);
    font.setPointSizeF(f.size > 0 ? f.size : 8.25);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

int toWholePx(double px) { return static_cast<int>(std::lround(px)); }

// Text is measured at the resolution the surfaces draw at, whatever the surface's size: an
// empty (0 × 0) image has no resolution and would measure every text as 0.
const QPaintDevice *metricsDevice()
{
    static const QImage device = blankImage(1, 1, Qt::black);
    return &device;
}

} // namespace

Surface::Surface() { resizeImages(); }

double Surface::toPx(double v, ScaleMode u, bool horizontal) const
{
    if (u == ScaleMode::Pixels)
        return v;
    return v / (horizontal ? twipsPerPixelX() : twipsPerPixelY());
}

double Surface::fromPx(double px, ScaleMode u, bool horizontal) const
{
    if (u == ScaleMode::Pixels)
        return px;
    return px * (horizontal ? twipsPerPixelX() : twipsPerPixelY());
}

void Surface::setLeft(double v, ScaleMode u)
{
    left_ = toWholePx(toPx(v, u, true));
    changed();
}

void Surface::setTop(double v, ScaleMode u)
{
    top_ = toWholePx(toPx(v, u, false));
    changed();
}


void Surface::setOuterSize(double w, double h, ScaleMode u)
{
    width_ = std::max(0, toWholePx(toPx(w, u, true)));
    height_ = std::max(0, toWholePx(toPx(h, u, false)));
    resizeImages();
    changed();
}

int Surface::innerWidthPx() const { return std::max(0, width_ - (border_ ? 2 * kBorderPx : 0)); }
int Surface::innerHeightPx() const { return std::max(0, height_ - (border_ ? 2 * kBorderPx : 0)); }

void Surface::setBorder(bool on)
{
    if (border_ == on)
        return;
    border_ = on;
    resizeImages();
    changed();
}

void Surface::setVisible(bool v)
{
    shown_ = v;
    changed();
}

void Surface::setAutoRedraw(bool on) { autoRedraw_ = on; }

void Surface::setKeepsAlpha(bool on)
{
    if (keepsAlpha_ == on)
        return;
    keepsAlpha_ = on;
    rebuildPersistent();
    changed();
}

void Surface::setBackColor(const QColor &c)
{
    backColor_ = c;
    rebuildPersistent();
    changed();
}

void Surface::setPicture(const Picture &p)
{
    picture_ = p;
    if (autoSize_ && !p.isNull()) {
        const int b = border_ ? 2 * kBorderPx : 0;
        width_ = p.image().width() + b;
        height_ = p.image().height() + b;
    }
    // The surface's own image taken as its picture (what a fit leaves) is what painting that
    // picture over the background gives already: an opaque picture covering all of it.
    const QImage &img = p.image();
    if (!keepsAlpha_ && !img.isNull() && img.constBits() == persistent_.constBits()
        && img.format() == QImage::Format_RGB32 && persistent_.format() == QImage::Format_RGB32
        && img.size() == QSize(innerWidthPx(), innerHeightPx()) && img.size() == persistent_.size()) {
        blank_ = false;
        visibleStale_ = true;
        changed();
        return;
    }
    rebuildPersistent();
    changed();
}

QImage Surface::releaseImage()
{
    picture_ = Picture();
    blank_ = false;
    visible_ = QImage();
    visibleStale_ = true;
    return std::exchange(persistent_, QImage());
}

void Surface::adoptImage(QImage image)
{
    Q_ASSERT(image.format() == QImage::Format_RGB32);
    picture_ = Picture();
    const int b = border_ ? 2 * kBorderPx : 0;
    width_ = image.width() + b;
    height_ = image.height() + b;
    // As a blank image of the surface would be: the file's resolution and colour space are
    // no part of what was drawn.
    image.setDotsPerMeterX(kDotsPerMeter96Dpi);
    image.setDotsPerMeterY(kDotsPerMeter96Dpi);
    image.setColorSpace(QColorSpace());
    persistent_ = std::move(image);
    blank_ = false;
    visible_ = QImage();
    visibleStale_ = true;
    changed();
}

QImage Surface::paintedWhole(const Picture &p) const
{
    const QImage &src = p.image();
    const QSize size(innerWidthPx(), innerHeightPx());
    // An opaque picture painted over all of it leaves nothing of the surface but its
    // resolution: no background, no blend.
    if (keepsAlpha_ || src.format() != QImage::Format_RGB32 || !src.textKeys().isEmpty() || size.isEmpty())
        return {};
    QImage out = src.size() == size ? src.copy() : smoothScaled(src, size);
    if (out.isNull())
        return out;
    out.setDotsPerMeterX(kDotsPerMeter96Dpi);
    out.setDotsPerMeterY(kDotsPerMeter96Dpi);
    out.setDevicePixelRatio(1.0);
    out.setOffset(QPoint());
    out.setColorSpace(QColorSpace());
    return out;
}

// Shared: whichever of the two is drawn on next gets its own pixels then.
Picture Surface::image() const { return Picture(persistent_); }

const QImage &Surface::visibleImage() const
{
    if (visibleStale_) {
        visible_ = persistent_;
        visibleStale_ = false;
    }
    return visible_;
}

QImage &Surface::drawTarget()
{
    if (autoRedraw_) {
        visibleStale_ = true;
        blank_ = false;
        return persistent_;
    }
    visibleImage();
    return visible_;
}

void Surface::cls()
{
    if (autoRedraw_)
        rebuildPersistent();
    visibleStale_ = true;
    currentX = 0;
    currentY = 0;
    changed();
}

void Surface::refresh()
{
    if (!autoRedraw_)
        visibleStale_ = true;
    changed();
}

void Surface::changed() const
{
    if (onChanged)
        onChanged();
}

void Surface::rebuildPersistent()
{
    // Whatever the visible image held is replaced by the new persistent one; let go of it
    // now, so that a persistent image it shared can be filled again in place.
    visible_ = QImage();
    const bool wasBlank = blank_ && blankFill_ == backColor_.rgba();
    blank_ = false;
    if (keepsAlpha_) {
        // Nothing behind the picture: where it is transparent, so is the surface.
        persistent_ = QImage(innerWidthPx(), innerHeightPx(), QImage::Format_ARGB32_Premultiplied);
        persistent_.setDotsPerMeterX(kDotsPerMeter96Dpi);
        persistent_.setDotsPerMeterY(kDotsPerMeter96Dpi);
        persistent_.fill(Qt::transparent);
        if (!picture_.isNull()) {
            QPainter painter(&persistent_);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(0, 0, picture_.image());
        }
        visibleStale_ = true;
        return;
    }
    // A picture made from a 32-bit device bitmap carries alpha in its spare byte; the device
    // copy that puts it on the surface takes all four bytes, and the rest of the surface keeps
    // the spare byte 0 that the background fill leaves (what AlphaBlend reads as alpha).
    const bool deviceAlpha = picture_.image().format() == QImage::Format_ARGB32_Premultiplied;
    const int w = innerWidthPx(), h = innerHeightPx();
    // An image of its own of the same kind is filled again rather than made anew: a new one
    // of several megabytes costs the system its pages again, on every picture of a run.
    const bool reusable = persistent_.isDetached() && persistent_.width() == w
        && persistent_.height() == h && persistent_.format() == QImage::Format_RGB32
        && persistent_.dotsPerMeterX() == kDotsPerMeter96Dpi
        && persistent_.dotsPerMeterY() == kDotsPerMeter96Dpi && persistent_.textKeys().isEmpty()
        && !persistent_.colorSpace().isValid();
    // Filled already when nothing has been drawn since (a clear followed by another).
    if (reusable && !wasBlank)
        persistent_.fill(backColor_);
    else if (!reusable)
        persistent_ = blankImage(w, h, backColor_);
    if (deviceAlpha) {
        persistent_ = std::move(persistent_).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        persistent_.fill(backColor_.rgb() & 0x00FFFFFFu);
    }
    if (!picture_.isNull()) {
        QPainter painter(&persistent_);
        if (deviceAlpha)
            painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, picture_.image());
    }
    blank_ = !deviceAlpha && picture_.isNull();
    blankFill_ = backColor_.rgba();
    visibleStale_ = true;
}

void Surface::resizeImages()
{
    const int w = innerWidthPx(), h = innerHeightPx();
    if (persistent_.width() == w && persistent_.height() == h)
        return;
    QImage old = persistent_;
    rebuildPersistent();
    if (!old.isNull() && !persistent_.isNull()) {
        QPainter painter(&persistent_);
        painter.drawImage(0, 0, old);
        blank_ = false;
    }
}

void Surface::paintPicture(const Picture &p, double x, double y, double w, double h,
                           std::optional<QRectF> sourcePixels)
{
    if (p.isNull())
        return;
    QImage src = p.image();
    if (sourcePixels) {
        // Source rectangles are given in the picture's own pixels; a picture decoded at a
        // reduced scale maps them onto its smaller image.
        const double fx = double(src.width()) / p.pixelSize().width();
        const double fy = double(src.height()) / p.pixelSize().height();
        QRect r = QRectF(sourcePixels->x() * fx, sourcePixels->y() * fy,
                         sourcePixels->width() * fx, sourcePixels->height() * fy)
                      .toAlignedRect()
                      .intersected(src.rect());
        src = src.copy(r);
    }
    const int tx = toWholePx(toPx(x, scaleMode_, true));
    const int ty = toWholePx(toPx(y, scaleMode_, false));
    const int tw = toWholePx(toPx(w, scaleMode_, true));
    const int th = toWholePx(toPx(h, scaleMode_, false));
    if (tw <= 0 || th <= 0 || src.isNull())
        return;
    // Qt's smooth scaling averages over the source when reducing, so a large photograph
    // painted small keeps its detail without aliasing.
    if (src.width() != tw || src.height() != th)
        src = smoothScaled(src, QSize(tw, th));
    QPainter painter(&drawTarget());
    painter.drawImage(tx, ty, src);
    painter.end();
    changed();
}

void Surface::print(const QString &text)
{
    QImage &target = drawTarget();
    const QFont f = qfont(font);
    QFontMetricsF fm(f, metricsDevice());
    const double x = toPx(currentX, scaleMode_, true);
    const double y = toPx(currentY, scaleMode_, false);
    if (!text.isEmpty() && !target.isNull()) {
        QPainter painter(&target);
        painter.setFont(f);
        painter.setPen(foreColor);
        painter.drawText(QPointF(x, y + fm.ascent()), text);
    }
    currentX = 0;
    currentY = fromPx(y + fm.height(), scaleMode_, false);
    changed();
}

double Surface::textWidth(const QString &text) const
{
    QFontMetricsF fm(qfont(font), metricsDevice());
    return fromPx(fm.horizontalAdvance(text), scaleMode_, true);
}

double Surface::textHeight(const QString &) const
{
    QFontMetricsF fm(qfont(font), metricsDevice());
    return fromPx(fm.height(), scaleMode_, false);
}

} // namespace platform
