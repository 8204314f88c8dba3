#pragma once
#include "platform/Picture.h"
#include "platform/Toolkit.h"
#include "platform/Units.h"
#include <QColor>
#include <QImage>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

namespace gdi { struct Palette; }

// A picture box as a plain object, so that the tools draw the same with or without a
// window: it holds a picture, a persistent image and a visible image. While persistent
// drawing (autoRedraw) is on, drawing goes into the persistent image (and shows); while it is
// off, drawing goes to the visible image only and is lost at the next refresh, which repaints
// the visible image from the persistent one. A widget (SurfaceView) only shows a surface.
//
// Geometry is held in whole pixels; it is read and written in twips or pixels. Drawing
// coordinates (currentX/Y, paintPicture, textWidth, innerWidth) are in the surface's own
// scale mode.
class Surface {
public:
    Surface();

    // ---- units and geometry
    ScaleMode scaleMode() const { return scaleMode_; }
    void setScaleMode(ScaleMode m) { scaleMode_ = m; }
    double left(ScaleMode u) const { return fromPx(left_, u, true); }
    double top(ScaleMode u) const { return fromPx(top_, u, false); }
    double outerWidth(ScaleMode u) const { return fromPx(width_, u, true); }
    double outerHeight(ScaleMode u) const { return fromPx(height_, u, false); }
    void setLeft(double v, ScaleMode u);
    void setTop(double v, ScaleMode u);
    void setOuterSize(double w, double h, ScaleMode u);
    // Drawable area, in the surface's own scale mode.
    double innerWidth() const { return fromPx(innerWidthPx(), scaleMode_, true); }
    double innerHeight() const { return fromPx(innerHeightPx(), scaleMode_, false); }
    int innerWidthPx() const;
    int innerHeightPx() const;
    int leftPx() const { return left_; }
    int topPx() const { return top_; }
    int outerWidthPx() const { return width_; }
    int outerHeightPx() const { return height_; }
    bool border() const { return border_; }
    void setBorder(bool on);
    static constexpr int kBorderPx = 2;   // each side: the sunken 3-D border of a picture box

    bool visible() const { return shown_; }
    void setVisible(bool v);
    // Sizes the surface to its picture whenever a picture is set.
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool on) { autoSize_ = on; }
    // Keeps what is transparent in a picture transparent: the images become premultiplied
    // ARGB on a transparent background instead of opaque on the background colour, and what
    // is drawn on them adds to their alpha. Off (the default), a surface is the opaque
    // picture box it always was. Changing it clears what was drawn, as a new background does.
    bool keepsAlpha() const { return keepsAlpha_; }
    void setKeepsAlpha(bool on);

    // ---- drawing state
    bool autoRedraw() const { return autoRedraw_; }
    void setAutoRedraw(bool on);
    FontSpec font;
    QColor foreColor = Qt::black;
    QColor backColor() const { return backColor_; }
    // Setting the background colour clears the surface: what was drawn is gone, as a
    // picture box does it.
    void setBackColor(const QColor &c);
    double currentX = 0;
    double currentY = 0;

    // ---- picture and images
    const Picture &picture() const { return picture_; }
    void setPicture(const Picture &p);
    void clearPicture() { setPicture(Picture()); }
    // Takes an opaque image (Format_RGB32) as the persistent image, the surface sized to it
    // and without a picture: what painting it onto the cleared surface gives, without a
    // second copy of its pixels. The caller hands over the only reference it holds.
    void adoptImage(QImage image);
    // Hands over the persistent image and leaves the surface empty (a picture at its own size
    // goes to its encoder without a copy).
    QImage releaseImage();
    // What painting `p` over the whole of the cleared surface would leave as its persistent
    // image, made as an image of its own and the surface left as it is. Null where that is
    // not simply the picture scaled (a surface keeping alpha, a picture with alpha or text).
    QImage paintedWhole(const Picture &p) const;
    // The persistent image taken as a picture (its pixel size as original size).
    Picture image() const;
    const QImage &persistentImage() const { return persistent_; }
    const QImage &visibleImage() const;
    // What drawing and the device calls (AlphaBlend, BitBlt, bitmap bits) work on:
    // the persistent image while autoRedraw is on, the visible image otherwise.
    QImage &drawTarget();

    // Clears the drawing (persistent drawing too, while autoRedraw is on) back to the
    // background colour and the picture; the drawing position returns to (0, 0).
    void cls();
    // Paints a picture scaled into (x, y, w, h), from the source rectangle (sx, sy, sw, sh)
    // of the picture in its own pixels (the whole picture when absent).
    void paintPicture(const Picture &p, double x, double y, double w, double h,
                      std::optional<QRectF> sourcePixels = std::nullopt);
    // Prints a text with its top-left corner at the drawing position, then moves the
    // drawing position to the start of the next line.
    void print(const QString &text);
    double textWidth(const QString &text) const;
    double textHeight(const QString &text) const;
    // Repaints the visible image from the persistent one.
    void refresh();
    // Tell a view that the drawn content changed after direct device access.
    void changed() const;

    // The palette of the picture on a palette display (gdi::picturePalette creates it).
    std::shared_ptr<gdi::Palette> palette;

    // Geometry or content changes (views listen).
    std::function<void()> onChanged;

    // Conversions in this surface's terms.
    double toPx(double v, ScaleMode u, bool horizontal) const;
    double fromPx(double px, ScaleMode u, bool horizontal) const;

private:
    void resizeImages();
    void rebuildPersistent();

    ScaleMode scaleMode_ = ScaleMode::Twips;
    int left_ = 0, top_ = 0, width_ = 100, height_ = 100;
    bool border_ = true;
    bool shown_ = true;
    bool autoSize_ = false;
    bool autoRedraw_ = false;
    bool keepsAlpha_ = false;
    QColor backColor_ = QColor(0xF0, 0xF0, 0xF0);
    Picture picture_;
    QImage persistent_;
    mutable QImage visible_;
    mutable bool visibleStale_ = true;
    // The persistent image holds only the background, in blankFill_, nothing drawn since.
    bool blank_ = false;
    QRgb blankFill_ = 0;
};

} // namespace platform
