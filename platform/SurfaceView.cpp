#include "platform/SurfaceView.h"

#include "platform/Surface.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace platform {

SurfaceView::SurfaceView(Surface &surface, QWidget *parent) : QWidget(parent), surface_(surface)
{
    setMouseTracking(true);
    surface_.onChanged = [this] { sync(); };
    sync();
}

SurfaceView::~SurfaceView() { surface_.onChanged = nullptr; }

void SurfaceView::sync()
{
    setGeometry(surface_.leftPx(), surface_.topPx(), surface_.outerWidthPx(),
                surface_.outerHeightPx());
    setVisible(surface_.visible());
    update();
}

void SurfaceView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int b = surface_.border() ? Surface::kBorderPx : 0;
    if (b) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(0, 0, width() - 1, height() - 1);
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawRect(1, 1, width() - 3, height() - 3);
    }
    painter.drawImage(b, b, surface_.visibleImage());
}

void SurfaceView::mouseMoveEvent(QMouseEvent *e)
{
    if (!onMouseMove)
        return;
    const int b = surface_.border() ? Surface::kBorderPx : 0;
    const QPointF p = e->position() - QPointF(b, b);
    onMouseMove(surface_.fromPx(p.x(), surface_.scaleMode(), true),
                surface_.fromPx(p.y(), surface_.scaleMode(), false));
}

void SurfaceView::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onClick)
        onClick();
}

} // namespace platform
