#include "tools/AddtextRecipe.h"

#include "platform/Toolkit.h"

namespace tools {

const ToolSpec &AddtextRecipe::spec() const
{
    static const ToolSpec s{"addtext",
                            {QStringLiteral(".bmp"), QStringLiteral(".png"), QStringLiteral(".jpg"), QStringLiteral(".tif")},
                            QStringLiteral("adtx-"),
                            QStringLiteral(".bmp"),
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
    preview.currentX = run.posX;
    preview.currentY = run.posY;
    preview.print(vartext);
}

void AddtextRecipe::processEntry(PictureRun &run)
{
    platform::Surface &preview = run.Picture1;
    run.loadEntryPicture(preview);
    run.fitIntoSurface(preview, run.picsrc);
    preview.currentX = run.posX;
    preview.currentY = run.posY;
    preview.print(vartext);
    platform::doEvents();
    run.writeIntermediate(preview.persistentImage());
    run.convertOutput(true);
}

} // namespace tools
