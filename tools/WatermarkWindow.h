#pragma once
#include "platform/Gdi.h"
#include "tools/ToolWindow.h"

#include <cstdint>
#include <vector>

class QLabel;
class QMenu;

namespace tools {

// The opacity of a transparency level: its first two characters read as a whole number L,
// A = 255 × (100 − L) / 100 rounded to the nearest whole number, halves to the even
// neighbour ("50%" → 128, "30%" → 178, "90%" → 26).
int opacityForLevel(const QString &level);
// The blend of a mark: (AC_SRC_OVER, 0, A, AC_SRC_ALPHA), and its four bytes as AlphaBlend
// receives them.
platform::gdi::BLENDFUNCTION blendFunctionFor(int sourceConstantAlpha);
std::uint32_t blendValueFor(int sourceConstantAlpha);

// A watermark window: a mark surface (Picture2) is blended onto the fitted preview with the
// constant opacity of a transparency level at the clicked position, copied into the output
// surface (Picture3) and saved; a picture reduced in both passes of the fit is written at
// twice the fitted size (Picture4). The text watermark supplies a text surface; the logo
// watermark supplies a logo surface, its own levels and its own input checks.
class WatermarkWindow : public ToolWindow {
    Q_OBJECT
public:
    QString varlevel;            // "10%" … "90%" as shown in the menu
    double fitW = 0, fitH = 0;   // the fitted size (preview units at the fit)
    bool scaledW = false, scaledH = false;
    platform::gdi::BLENDFUNCTION blendfn{};

    platform::Surface Picture2;   // mark surface, hidden
    platform::Surface Picture3;   // output surface, hidden
    platform::Surface Picture4;   // enlargement surface, hidden

    QMenu *mnu_tranparent = nullptr;
    QLabel *lbltransparent = nullptr;

    // The level entries, in menu order, with their captions.
    const std::vector<QAction *> &levelMenus() const { return levelMenus_; }
    // mnu_10_Click … mnu_90_Click: the entries behave alike.
    void mnu_level_Click(const QString &level);

    void Picture1_Click() override;
    void mnu_loadpic_Click();
    void mnu_sav_Click() { RunWatermark(); }
    void LoadPreview() { loadStep(); }
    void RunWatermark() { batchRun(); }
    // The fit into the preview, keeping the reduction flags and the fitted size; the output
    // surface takes that size; units are pixels afterwards.
    void FitToPreview(platform::Surface &preview, const platform::Picture &picture);
    void ConvertOutput() { convertOutput(false); }

protected:
    WatermarkWindow(const QString &name, ToolSpec spec, QStringList levels, QWidget *parent);

    // The level drop-down, built in the tool's menu order.
    QMenu *addLevelMenu(const QString &designCaption);
    // The level, shown in its label (activation sets the tool's default).
    void setLevel(const QString &level);

    // ---- what a watermark tool supplies
    // Prepares the mark surface Picture2 and sets markWidth / markHeight, the rectangle that
    // is blended.
    virtual void prepareMarkSurface() = 0;
    // The opacity of the current level (the logo tool maps "0%" to 254).
    virtual int sourceConstantAlpha() const { return opacityForLevel(varlevel); }
    // Bracket the use of the mark for one click or one entry of the run (the logo tool starts
    // and stops its imaging library here); markWorkEnded runs on every path.
    virtual void markWorkStarted() {}
    virtual void markWorkEnded() {}
    // The labels emptied after each entry of the run.
    virtual void clearEntryLabels();

    int markWidth = 0, markHeight = 0;

    // ---- shared pattern departures
    std::vector<InputCheck> loadChecks() const override;
    void showFirstPicture() override;
    void processEntry() override;
    platform::ScaleMode clickUnits() const override { return platform::ScaleMode::Pixels; }
    // Blends the mark surface onto the preview's visible image at (posX, posY).
    void blendMark();

private:
    QStringList levels_;
    std::vector<QAction *> levelMenus_;
};

} // namespace tools
