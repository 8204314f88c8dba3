#include "tools/Job.h"

#include "tools/AddtextRecipe.h"
#include "tools/PictureRun.h"
#include "tools/RotateRecipe.h"
#include "tools/WatermarkRecipe.h"

namespace tools {
namespace {

QStringList percentLevels(int from)
{
    QStringList levels;
    for (int l = from; l <= 90; l += 10)
        levels << QString::number(l) + QLatin1Char('%');
    return levels;
}

} // namespace

const QStringList &levelsOf(ToolKind tool)
{
    static const QStringList text = percentLevels(10), logo = percentLevels(0), none;
    switch (tool) {
    case ToolKind::Watermark: return text;
    case ToolKind::Logo: return logo;
    default: return none;
    }
}

QString defaultLevelOf(ToolKind tool)
{
    switch (tool) {
    case ToolKind::Watermark: return QStringLiteral("70%");
    case ToolKind::Logo: return QStringLiteral("0%");
    default: return {};
    }
}

const std::array<TextColour, 8> &textColours()
{
    static const std::array<TextColour, 8> colours = {{
        {"addtext.mnu_black", qRgb(0, 0, 0)},
        {"addtext.mnu_blue", qRgb(0, 0, 255)},
        {"addtext.mnu_red", qRgb(255, 0, 0)},
        {"addtext.mnu_yellow", qRgb(255, 255, 0)},
        {"addtext.mnu_green", qRgb(0, 255, 0)},
        {"addtext.mnu_magenta", qRgb(255, 0, 255)},
        {"addtext.mnu_cyan", qRgb(0, 255, 255)},
        {"addtext.mnu_white", qRgb(255, 255, 255)},
    }};
    return colours;
}

double defaultFontSizeOf(ToolKind tool) { return tool == ToolKind::Watermark ? 14 : 12; }

Job Job::forTool(ToolKind tool)
{
    Job job;
    job.tool = tool;
    job.font.name = QStringLiteral("Times New Roman");
    job.font.size = defaultFontSizeOf(tool);
    job.level = defaultLevelOf(tool);
    job.color = QColor(textColours()[0].rgb);
    job.previewBox = designPreviewBox();
    return job;
}

std::unique_ptr<ToolRecipe> makeRecipe(const Job &job)
{
    switch (job.tool) {
    case ToolKind::Text: return std::make_unique<AddtextRecipe>();
    case ToolKind::Watermark: return std::make_unique<WatertextRecipe>();
    case ToolKind::Logo: return std::make_unique<WaterLogoRecipe>();
    case ToolKind::Rotate: return std::make_unique<RotateRecipe>();
    }
    return nullptr;
}

void applyJob(PictureRun &run, const Job &job)
{
    if (!job.file.isEmpty()) {
        run.CommonDialog.FileName = job.file;
        run.chooseSingle(job.file);
    } else {
        // The mode is chosen before the folder, as the window does it.
        run.chooseBulk(QString());
        run.chooseBulk(job.folder);
    }
    run.chooseTarget(job.target);
    run.output = job.output;
    if (job.tool != ToolKind::Rotate)
        run.output.lossless = false;
    if (job.previewBox.isValid())
        run.previewBox = job.previewBox;
    run.CommonDialog.font = job.font;
    run.CommonDialog.Color = job.color;
    ToolRecipe &recipe = run.recipe();
    if (auto *text = dynamic_cast<AddtextRecipe *>(&recipe))
        text->vartext = job.text;
    if (auto *mark = dynamic_cast<WatermarkRecipe *>(&recipe))
        mark->varlevel = job.level;
    if (auto *watertext = dynamic_cast<WatertextRecipe *>(&recipe))
        watertext->vartext = job.text;
    if (auto *logo = dynamic_cast<WaterLogoRecipe *>(&recipe)) {
        logo->Picture2.clearPicture();
        logo->varlogo = job.logo;
    }
}

void chooseTurn(PictureRun &run, const Job &job)
{
    if (auto *turn = dynamic_cast<RotateRecipe *>(&run.recipe())) {
        turn->rotplus = job.clockwise;
        turn->rotminus = !job.clockwise;
    }
}

} // namespace tools
