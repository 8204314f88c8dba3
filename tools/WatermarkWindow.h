#pragma once
#include "tools/ToolWindow.h"
#include "tools/WatermarkRecipe.h"

#include <initializer_list>
#include <vector>

class QLabel;
class QMenu;

namespace tools {

// The window of a watermark tool: the level drop-down and its label over the shared tool
// window. The blend is the recipe's (WatermarkRecipe).
class WatermarkWindow : public ToolWindow {
    Q_OBJECT
public:
    // The recipe's state under the names the window has always shown.
    WatermarkRecipe &mark;
    QString &varlevel;
    platform::gdi::BLENDFUNCTION &blendfn;
    platform::Surface &Picture2;   // mark surface, hidden
    platform::Surface &Picture3;   // output surface, hidden
    platform::Surface &Picture4;   // enlargement surface, hidden

    QMenu *mnu_tranparent = nullptr;
    QLabel *lbltransparent = nullptr;

    // The level entries, in menu order, with their captions.
    const std::vector<QAction *> &levelMenus() const { return levelMenus_; }
    // mnu_10_Click … mnu_90_Click: the entries behave alike.
    void mnu_level_Click(const QString &level);

    void mnu_loadpic_Click();
    void mnu_sav_Click() { RunWatermark(); }
    void LoadPreview() { loadStep(); }
    void RunWatermark() { batchRun(); }

protected:
    WatermarkWindow(const QString &name, std::unique_ptr<WatermarkRecipe> recipe,
                    QStringList levels, QWidget *parent);

    // The level drop-down, built in the tool's menu order; `named` receive its entries.
    QMenu *addLevelMenu(const QString &designCaption, std::initializer_list<QAction **> named);
    // The captions both watermark windows show in the same places, for the current language.
    void setWatermarkCaptions(QMenu *fileMenu, QAction *loadpic, QAction *txtwtr, QAction *sav);
    // The level, shown in its label (activation sets the tool's default).
    void setLevel(const QString &level);
    void clearEntryLabels() override;

private:
    QStringList levels_;
    std::vector<QAction *> levelMenus_;
};

} // namespace tools
