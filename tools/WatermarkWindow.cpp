#include "tools/WatermarkWindow.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace tools {

WatermarkWindow::WatermarkWindow(const QString &name, std::unique_ptr<WatermarkRecipe> recipe,
                                 QStringList levels, QWidget *parent)
    : ToolWindow(name, std::move(recipe), kToolClientWidth, kToolClientHeight,
                 QStringLiteral("bg/bg.jpg"), parent),
      mark(static_cast<WatermarkRecipe &>(run().recipe())), varlevel(mark.varlevel),
      blendfn(mark.blendfn), Picture2(mark.Picture2), Picture3(mark.Picture3),
      Picture4(mark.Picture4), levels_(std::move(levels))
{
    lbltransparent = addLabel("lbltransparent", 4680, 960);
}

QMenu *WatermarkWindow::addLevelMenu(const QString &designCaption,
                                     std::initializer_list<QAction **> named)
{
    mnu_tranparent = menuBar()->addMenu(designCaption);
    auto slot = named.begin();
    for (const QString &level : levels_) {
        levelMenus_.push_back(
            addCommand(level, [this, level] { mnu_level_Click(level); }, mnu_tranparent));
        if (slot != named.end())
            **slot++ = levelMenus_.back();
    }
    return mnu_tranparent;
}

void WatermarkWindow::setWatermarkCaptions(QMenu *fileMenu, QAction *loadpic, QAction *txtwtr,
                                           QAction *sav)
{
    setWindowTitle(toolText("title"));
    setCommonCaptions(fileMenu);
    loadpic->setText(toolText("mnu_loadpic"));
    mnu_tranparent->setTitle(toolText("mnu_tranparent"));
    txtwtr->setText(toolText("mnu_txtwtr"));
    sav->setText(toolText("mnu_sav"));
}

void WatermarkWindow::setLevel(const QString &level)
{
    varlevel = level;
    lbltransparent->setText(toolText("label.level") + varlevel);
}

void WatermarkWindow::mnu_level_Click(const QString &level)
{
    if (!isBusy())
        setLevel(level);
}

void WatermarkWindow::mnu_loadpic_Click()
{
    if (isBusy())
        return;
    LoadPreview();
}

void WatermarkWindow::clearEntryLabels()
{
    lbltransparent->clear();
    ToolWindow::clearEntryLabels();
}

} // namespace tools
