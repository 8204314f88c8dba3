#pragma once
#include "platform/Toolkit.h"
#include "tools/OutputOptions.h"

#include <QColor>
#include <QPointF>
#include <QSize>
#include <QString>
#include <array>
#include <QStringList>
#include <memory>
#include <optional>

// A run of a picture tool as data: what the user chose in the tool's window, or gave on the
// command line. Both build one and hand it to the same run, so that the same job gives the same
// outputs whoever starts it.
namespace tools {

class PictureRun;
class ToolRecipe;

enum class ToolKind { Text, Watermark, Logo, Rotate };

struct Job {
    ToolKind tool = ToolKind::Text;

    // ---- what is worked on: one file (Single), or every file of a folder (Bulk)
    QString file;
    QString folder;
    QString target;

    // ---- the mark: the text in a font (and colour, or at a transparency level), the logo at a
    // level, or the turn
    QString text;
    platform::FontSpec font;
    QColor color = Qt::black;
    QString level;
    QString logo;
    bool clockwise = true;

    // ---- where the mark goes: the click on the preview, in pixels from the fitted picture's
    // top-left corner; none when the user did not click
    std::optional<QPointF> click;

    // ---- how the outputs are written
    OutputOptions output;
    // The box the pictures are fitted into, in pixels (the fitted size follows from it).
    QSize previewBox;

    // A job for `tool` as its window starts: the font, colour and level it opens with.
    static Job forTool(ToolKind tool);
};

// The transparency levels a watermark tool offers, and the one it starts with.
const QStringList &levelsOf(ToolKind tool);
QString defaultLevelOf(ToolKind tool);
// The colours the insert-text tool offers, in its menu's order: the catalogue key of each
// caption and the colour. The first is the one it starts with.
struct TextColour {
    const char *key;
    QRgb rgb;
};
const std::array<TextColour, 8> &textColours();
// The point size the text tools' font starts at.
double defaultFontSizeOf(ToolKind tool);

// The tool's recipe for a job.
std::unique_ptr<ToolRecipe> makeRecipe(const Job &job);
// The run's and its recipe's state as the job gives it: sources, target, mark and output, as
// the window's menus would have set them.
void applyJob(PictureRun &run, const Job &job);
// The direction of a turn, chosen as its run starts.
void chooseTurn(PictureRun &run, const Job &job);

} // namespace tools
