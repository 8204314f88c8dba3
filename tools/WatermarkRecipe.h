#pragma once
#include "platform/Gdi.h"
#include "tools/PictureRun.h"
#include "tools/modGDIPlusResize.h"

#include <cstdint>

namespace tools {

// The opacity of a transparency level: its first two characters read as a whole number L,
// A = 255 × (100 − L) / 100 rounded to the nearest whole number, halves to the even
// neighbour ("50%" → 128, "30%" → 178, "90%" → 26).
int opacityForLevel(const QString &level);
// The blend of a mark: (AC_SRC_OVER, 0, A, AC_SRC_ALPHA), and its four bytes as AlphaBlend
// receives them.
platform::gdi::BLENDFUNCTION blendFunctionFor(int sourceConstantAlpha);
std::uint32_t blendValueFor(int sourceConstantAlpha);

// A watermark: a mark surface (Picture2) is blended onto the fitted preview with the constant
// opacity of a transparency level at the clicked position, copied into the output surface
// (Picture3) and saved; a picture reduced in both passes of the fit is written at twice the
// fitted size (Picture4). The text and logo watermarks supply the mark.
class WatermarkRecipe : public ToolRecipe {
public:
    QString varlevel;            // "10%" … "90%" as shown in the menu
    double fitW = 0, fitH = 0;   // the fitted size (preview units at the fit)
    bool scaledW = false, scaledH = false;
    platform::gdi::BLENDFUNCTION blendfn{};

    platform::Surface Picture2;   // mark surface, hidden
    platform::Surface Picture3;   // output surface, hidden
    platform::Surface Picture4;   // enlargement surface, hidden

    WatermarkRecipe();

    // Units of the load step's surfaces (twips), set by Load Picture before it runs.
    void prepareLoadUnits(PictureRun &run) override;
    // The fit into the preview, keeping the reduction flags and the fitted size; the output
    // surface takes that size; units are pixels afterwards.
    void FitToPreview(PictureRun &run, platform::Surface &preview, const platform::Picture &picture);

    std::vector<InputCheck> loadChecks(const PictureRun &run) const override;
    void showFirstPicture(PictureRun &run) override;
    void place(PictureRun &run) override;
    void mark(PictureRun &run) override;
    QImage fittedOutput(PictureRun &run) override;
    // The output at the picture's own size (run.picsrc), with the mark blended at the click
    // scaled by the picture's factor.
    void writeOwnSize(PictureRun &run) override;
    MarkFit markFit(const PictureRun &run) const override;
    std::vector<platform::Surface *> drawnSurfaces() override { return {&Picture3, &Picture4}; }
    platform::ScaleMode clickUnits() const override { return platform::ScaleMode::Pixels; }
    // Places the mark; a mark that cannot be made (a logo that does not load, a text too
    // large for memory) gives its error in a box.
    void click(PictureRun &run) override;
    bool placesMarks() const override { return true; }

protected:
    // Copies of the hidden surfaces are shown by no window.
    void detachSurfaces();
    // Prepares the mark surface Picture2 and sets markWidth / markHeight, the rectangle that
    // is blended.
    virtual void prepareMarkSurface(PictureRun &run) = 0;
    // The opacity of the current level (the logo maps "0%" to 254).
    virtual int sourceConstantAlpha() const { return opacityForLevel(varlevel); }

    int markWidth = 0, markHeight = 0;
    // The whole mark before it is cut to what can show: the text's extent, the logo's size.
    QSize wholeMark;

    // The mark for the picture at its own size: as prepareMarkSurface makes it, scaled by
    // `factor`, on `mark`, no larger than `room`. Returns the rectangle that is blended.
    virtual QSize prepareOwnSizeMark(PictureRun &run, platform::Surface &mark, QSizeF factor,
                                     QSize room) = 0;

    // The part of a mark of w × h pixels at (posX, posY) that can show on the preview: the
    // rest would be cut at the picture's edge, so no surface is made for it.
    QSize visibleMarkSize(const PictureRun &run, int w, int h) const;

private:
    // Blends the mark surface onto the preview's visible image at (posX, posY). Throws
    // platform::AppError when a mark that would show could not be made or drawn.
    void blendMark(PictureRun &run);
};

// Text watermark: the text printed white on black in the dialog's font.
class WatertextRecipe : public WatermarkRecipe {
public:
    QString vartext;   // the watermark text
    const ToolSpec &spec() const override;
    std::unique_ptr<ToolRecipe> cloneForWorker() const override;
    void clearMainInput() override { vartext.clear(); }
    QSizeF markExtent(const PictureRun &run, double scale) const override;

protected:
    void prepareMarkSurface(PictureRun &run) override;
    QSize prepareOwnSizeMark(PictureRun &run, platform::Surface &mark, QSizeF factor, QSize room) override;

private:
    // The text white on black in `font`, on a surface sized to the text cut by `room`.
    void printMark(platform::Surface &mark, const platform::FontSpec &font,
                   const std::function<QSize(int w, int h)> &room) const;
};

// Logo watermark: the logo loaded at its own size on black through the scaled loader. Its
// own pixels keep the logo's alpha on the logo surface, so it is laid over the picture at the
// level's opacity and its transparent parts (black, alpha 0) leave the picture unchanged.
class WaterLogoRecipe : public WatermarkRecipe {
public:
    QString varlogo;                         // the chosen logo file; kept after a run
    modGDIPlusResize::Token gdiptoken = 0;   // held while a logo is loaded and blended
    QSize logoSize;                          // the logo's own size, read with the mark

    WaterLogoRecipe();
    const ToolSpec &spec() const override;
    std::unique_ptr<ToolRecipe> cloneForWorker() const override;
    std::vector<InputCheck> loadChecks(const PictureRun &run) const override;
    std::vector<InputCheck> runChecks(const PictureRun &run) const override;
    QSizeF markExtent(const PictureRun &run, double scale) const override;

protected:
    void prepareMarkSurface(PictureRun &run) override;
    QSize prepareOwnSizeMark(PictureRun &run, platform::Surface &mark, QSizeF factor, QSize room) override;
    int sourceConstantAlpha() const override;

private:
    // The logo's own size, upright, read from its header once per logo.
    QSize ownLogoSize() const;
    mutable QString sizeReadOf_;
    mutable QSize ownLogoSize_;

public:
    void markWorkStarted() override;
    void markWorkEnded() override;
};

} // namespace tools
