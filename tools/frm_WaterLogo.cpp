#include "tools/frm_WaterLogo.h"

#include "platform/Formats.h"
#include "tools/Job.h"

#include "platform/Toolkit.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QLabel>
#include <QMenu>

const QStringList frm_WaterLogo::kLevels = tools::levelsOf(tools::ToolKind::Logo);
const QString frm_WaterLogo::kDefaultLevel = tools::defaultLevelOf(tools::ToolKind::Logo);
const QString frm_WaterLogo::kLogoFilter = platform::formats::openFilter(
    {platform::formats::Id::Jpeg, platform::formats::Id::Bmp, platform::formats::Id::Png});

frm_WaterLogo::frm_WaterLogo(QWidget *parent)
    : tools::WatermarkWindow(QStringLiteral("frm_WaterLogo"),
                             std::make_unique<tools::WaterLogoRecipe>(), kLevels, parent),
      varlogo(static_cast<tools::WaterLogoRecipe &>(mark).varlogo)
{
    mnu_file = addFileSelectionMenu();
    addTargetMenu(QStringLiteral("&Target Folder"));
    mnu_loadpic = addCommand(QStringLiteral("&Load Picture"), [this] { mnu_loadpic_Click(); });
    addLevelMenu(QStringLiteral("Transparency Le&vel"), {&mnu_0, &mnu_10, &mnu_20, &mnu_30, &mnu_40,
                                                         &mnu_50, &mnu_60, &mnu_70, &mnu_80, &mnu_90});
    mnu_txtwtr = addCommand(QStringLiteral("LO&GO Watermark"), [this] { mnu_txtwtr_Click(); });
    mnu_sav = addCommand(QStringLiteral("&Save"), [this] { mnu_sav_Click(); });
    addOptionsMenu();
    addExitMenu();
    lblogo = addLabel("lblogo", 4680, 1440);
}

void frm_WaterLogo::Form_Activate()
{
    setWatermarkCaptions(mnu_file, mnu_loadpic, mnu_txtwtr, mnu_sav);

    ToolWindow::Form_Activate();
    setLevel(kDefaultLevel);
}

void frm_WaterLogo::Form_MouseMove() { setWindowTitle(shell::tx("waterlogo.titleMove")); }

void frm_WaterLogo::mnu_txtwtr_Click()
{
    if (isBusy())
        return;
    Picture2.clearPicture();
    if (auto chosen = shell::ShowOpen(this, kLogoFilter, shell::tx("common.openTitle")))
        CommonDialog.FileName = *chosen;
    varlogo = CommonDialog.FileName;
    lblogo->setText(shell::tx("waterlogo.label.logo") + varlogo);
}

void frm_WaterLogo::clearEntryLabels()
{
    WatermarkWindow::clearEntryLabels();
    lblogo->clear();
}
