#pragma once
#include <QWidget>
#include <functional>

namespace platform {

class Surface;

// Shows a surface in a window: follows its geometry, visibility and visible image, and
// reports the pointer in the surface's units.
class SurfaceView : public QWidget {
    Q_OBJECT
public:
    SurfaceView(Surface &surface, QWidget *parent);
    ~SurfaceView() override;
    Surface &surface() const { return surface_; }
    // Re-reads geometry and visibility from the surface and repaints.
    void sync();

    std::function<void(double x, double y)> onMouseMove;   // surface units
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent *) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    Surface &surface_;
};

} // namespace platform
