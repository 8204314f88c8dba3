#pragma once
#include "tools/PictureRun.h"

namespace tools {

// Insert text: the line of text printed where the preview was clicked, in the font and colour
// the click took from the dialog settings.
class AddtextRecipe : public ToolRecipe {
public:
    QString vartext;   // the text to insert

    const ToolSpec &spec() const override;
    std::unique_ptr<ToolRecipe> cloneForWorker() const override
    {
        return std::make_unique<AddtextRecipe>(*this);
    }
    void click(PictureRun &run) override;
    void place(PictureRun &run) override;
    void mark(PictureRun &run) override;
    QImage fittedOutput(PictureRun &run) override;
    void writeOwnSize(PictureRun &run) override;
    bool showsOutput() const override { return true; }
    MarkFit markFit(const PictureRun &run) const override;
    void clearMainInput() override { vartext.clear(); }
    QSizeF markExtent(const PictureRun &run, double scale) const override;
    bool placesMarks() const override { return true; }

private:
    // Placed by the picture rather than as clicked: the dialog's font, at the placement's
    // factor, and its colour.
    void takePlacedFont(PictureRun &run) const;
};

} // namespace tools
