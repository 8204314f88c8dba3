#include "tools/AddtextRecipe.h"
#include "tools/OwnSize.h"

#include "platform/Toolkit.h"

namespace tools {

using platform::formats::Id;

const ToolSpec &AddtextRecipe::spec() const
{
    static const ToolSpec s{"addtext",
                            platform::formats::extensionsOf({Id::Bmp, Id::Png, Id::Jpeg, Id::Tiff}),
                            QStringLiteral("adt-")};
    return s;
}

void AddtextRecipe::click(PictureRun &run)
{
    run.posX = run.lastX;
    run.posY = run.lastY;
    platform::Surface &preview = run.Picture1;
    preview.setAutoRedraw(true);
    // The preview takes the dialog's settings only here: the run prints with what the last
    // click copied.
    preview.font = run.CommonDialog.font;
    preview.foreColor = run.CommonDialog.Color;
    takePlacedFont(run);
    preview.currentX = run.posX;
    preview.currentY = run.posY;
    preview.print(vartext);
}

void AddtextRecipe::takePlacedFont(PictureRun &run) const
{
    if (run.output.placement.mode == PlacementMode::Clicked)
        return;
    platform::Surface &preview = run.Picture1;
    preview.font = run.CommonDialog.font;
    preview.font.size *= markScale;
    preview.foreColor = run.CommonDialog.Color;
}

QSizeF AddtextRecipe::markExtent(const PictureRun &run, double scale) const
{
    if (vartext.isEmpty())
        return {};
    platform::Surface measure;
    measure.setScaleMode(platform::ScaleMode::Pixels);
    measure.font = run.CommonDialog.font;
    measure.font.size *= scale;
    return {measure.textWidth(vartext), measure.textHeight(vartext)};
}

void AddtextRecipe::place(PictureRun &run) { run.fitIntoSurface(run.Picture1, run.picsrc); }

void AddtextRecipe::mark(PictureRun &run)
{
    platform::Surface &preview = run.Picture1;
    takePlacedFont(run);
    preview.currentX = run.posX;
    preview.currentY = run.posY;
    preview.print(vartext);
}

MarkFit AddtextRecipe::markFit(const PictureRun &run) const
{
    const platform::Surface &preview = run.Picture1;
    const platform::ScaleMode u = preview.scaleMode();
    const QRectF text(preview.toPx(run.posX, u, true), preview.toPx(run.posY, u, false),
                      vartext.isEmpty() ? 0 : preview.toPx(preview.textWidth(vartext), u, true),
                      preview.toPx(preview.textHeight(vartext), u, false));
    return markFitOf(text.toAlignedRect(), QSize(preview.innerWidthPx(), preview.innerHeightPx()));
}

QImage AddtextRecipe::fittedOutput(PictureRun &run) { return run.Picture1.persistentImage(); }

void AddtextRecipe::writeOwnSize(PictureRun &run)
{
    // The same text on the picture at its own size: position and font scaled by its factor.
    const platform::Surface &preview = run.Picture1;
    const QSizeF factor = ownSizeFactor(preview, run.picsrc);
    platform::Surface whole;
    whole.setKeepsAlpha(run.keepsAlpha());
    paintAtOwnSize(whole, std::move(run.picsrc));
    run.picsrc = platform::Picture();   // the surface holds the pixels now
    whole.font = preview.font;
    whole.font.size *= factor.height();
    whole.foreColor = preview.foreColor;
    whole.currentX = preview.toPx(run.posX, preview.scaleMode(), true) * factor.width();
    whole.currentY = preview.toPx(run.posY, preview.scaleMode(), false) * factor.height();
    whole.print(vartext);
    run.writePicture(whole.releaseImage(), true);
}

} // namespace tools
