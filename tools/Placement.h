#pragma once
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <array>
#include <functional>
#include <optional>

// Where a mark goes on each picture of a run. "As clicked" keeps the click's pixels for every
// picture; the other two follow each picture's own size, so that a folder of mixed shapes gets
// the same mark in the same place on every picture.
namespace tools {

enum class PlacementMode { Clicked, Relative, Anchored };

// The nine anchors, row by row from the top-left corner.
enum class Anchor { NW, N, NE, W, C, E, SW, S, SE };
inline constexpr std::array<Anchor, 9> kAnchors = {Anchor::NW, Anchor::N,  Anchor::NE,
                                                   Anchor::W,  Anchor::C,  Anchor::E,
                                                   Anchor::SW, Anchor::S,  Anchor::SE};

struct MarkPlacement {
    PlacementMode mode = PlacementMode::Clicked;
    Anchor anchor = Anchor::SE;
    double marginPercent = 3;   // of the picture's shorter side, anchored only
    double sizePercent = 20;    // the mark's width, of the picture's width, anchored only

    bool operator==(const MarkPlacement &) const = default;
    // A margin that leaves no room between opposite edges, or a size that is nothing or
    // wider than the picture, places no mark on any picture.
    bool leavesRoom() const;
};

// "nw", "n", ... "se", and back; none for any other name.
QString anchorName(Anchor a);
std::optional<Anchor> anchorNamed(const QString &name);
// The anchor nearest to a point of a picture: the picture cut in thirds each way.
Anchor nearestAnchor(QPointF point, QSizeF picture);

// The mark on one picture: its top-left corner and the factor applied to its size, in the
// picture's pixels; `fits` false when no size of it fits the picture at all.
struct PlacedMark {
    QPointF at;
    double scale = 1;
    bool fits = true;
};

// Places a mark on a picture of `picture` pixels. `extent(s)` is the mark's size at factor s
// of its own. Relative placement keeps `click` as a fraction of `clickedOn` (the picture the
// click was made on) and scales the mark with the pictures' shorter sides; anchored placement
// sizes it by the picture's width and puts it at the anchor, the margin away from the edges.
// Either is moved inward to fit and shrunk only when it cannot fit whole.
PlacedMark placeMark(const MarkPlacement &placement, QSizeF picture, QPointF click, QSizeF clickedOn,
                     const std::function<QSizeF(double)> &extent);

} // namespace tools
