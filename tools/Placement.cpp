#include "tools/Placement.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace tools {
namespace {

const QStringList &anchorNames()
{
    static const QStringList names = {QStringLiteral("nw"), QStringLiteral("n"), QStringLiteral("ne"),
                                      QStringLiteral("w"),  QStringLiteral("c"), QStringLiteral("e"),
                                      QStringLiteral("sw"), QStringLiteral("s"), QStringLiteral("se")};
    return names;
}

// A text's extent does not shrink exactly in proportion to its point size (glyphs snap to
// whole pixels): each step aims a little under the room and measures again.
constexpr double kShrinkMargin = 0.98;
constexpr int kShrinkSteps = 12;
// Below this factor a mark is a speck, not a mark.
constexpr double kSmallestScale = 1e-3;

bool within(QSizeF mark, QSizeF room)
{
    return mark.width() <= room.width() + 1e-9 && mark.height() <= room.height() + 1e-9;
}

// Where along one side a mark of `length` goes: at the start, middle or end, `margin` away
// from the edges.
double along(int third, double side, double length, double margin)
{
    switch (third) {
    case 0: return margin;
    case 1: return (side - length) / 2;
    default: return side - margin - length;
    }
}

} // namespace

bool MarkPlacement::leavesRoom() const
{
    if (mode != PlacementMode::Anchored)
        return true;
    return std::isfinite(marginPercent) && std::isfinite(sizePercent) && marginPercent >= 0
        && marginPercent < 50 && sizePercent > 0 && sizePercent <= 100;
}

QString anchorName(Anchor a) { return anchorNames()[int(a)]; }

std::optional<Anchor> anchorNamed(const QString &name)
{
    const qsizetype i = anchorNames().indexOf(name.toLower());
    if (i < 0)
        return std::nullopt;
    return kAnchors[size_t(i)];
}

Anchor nearestAnchor(QPointF point, QSizeF picture)
{
    auto third = [](double v, double side) {
        if (side <= 0)
            return 1;
        return std::clamp(int(std::floor(v * 3 / side)), 0, 2);
    };
    return kAnchors[size_t(third(point.y(), picture.height()) * 3 + third(point.x(), picture.width()))];
}

PlacedMark placeMark(const MarkPlacement &placement, QSizeF picture, QPointF click, QSizeF clickedOn,
                     const std::function<QSizeF(double)> &extent)
{
    PlacedMark placed;
    const QSizeF own = extent(1);
    if (picture.isEmpty() || own.isEmpty())
        return placed;
    const double shorter = std::min(picture.width(), picture.height());
    double margin = 0;
    if (placement.mode == PlacementMode::Anchored) {
        margin = std::floor(shorter * placement.marginPercent / 100);
        placed.scale = picture.width() * placement.sizePercent / 100 / own.width();
    } else {
        const double clickedShorter = std::min(clickedOn.width(), clickedOn.height());
        placed.scale = clickedShorter > 0 ? shorter / clickedShorter : 1;
    }
    const QSizeF room(picture.width() - 2 * margin, picture.height() - 2 * margin);
    QSizeF mark = extent(placed.scale);
    for (int step = 0; step < kShrinkSteps && !within(mark, room); ++step) {
        if (mark.isEmpty() || room.isEmpty())
            break;
        placed.scale *= std::min(room.width() / mark.width(), room.height() / mark.height()) * kShrinkMargin;
        mark = extent(placed.scale);
    }
    if (room.isEmpty() || !within(mark, room) || placed.scale < kSmallestScale || mark.isEmpty()) {
        placed.fits = false;
        return placed;
    }
    double x, y;
    if (placement.mode == PlacementMode::Anchored) {
        const int i = int(placement.anchor);
        x = along(i % 3, picture.width(), mark.width(), margin);
        y = along(i / 3, picture.height(), mark.height(), margin);
    } else {
        x = clickedOn.width() > 0 ? click.x() / clickedOn.width() * picture.width() : 0;
        y = clickedOn.height() > 0 ? click.y() / clickedOn.height() * picture.height() : 0;
    }
    // Moved inward, never cut: whole pixels, as the mark is drawn.
    x = std::clamp(std::round(x), 0.0, std::floor(picture.width() - mark.width()));
    y = std::clamp(std::round(y), 0.0, std::floor(picture.height() - mark.height()));
    placed.at = QPointF(x, y);
    return placed;
}

} // namespace tools
