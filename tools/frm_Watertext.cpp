#include "tools/frm_Watertext.h"

#include "platform/Toolkit.h"
#include "tools/Job.h"
#include "shell/Texts.h"

#include <QLabel>
#include <QMenu>

namespace {

const double kResetFontSize = tools::defaultFontSizeOf(tools::ToolKind::Watermark);

} // namespace

const QStringList frm_Watertext::kLevels = tools::levelsOf(tools::ToolKind::Watermark);
const QString frm_Watertext::kDefaultLevel = tools::defaultLevelOf(tools::ToolKind::Watermark);

frm_Watertext::frm_Watertext(QWidget *parent)
    : tools::WatermarkWindow(QStringLiteral("frm_Watertext"),
                             std::make_unique<tools::WatertextRecipe>(), kLevels, parent),
      vartext(static_cast<tools::WatertextRecipe &>(mark).vartext)
{
    mnu_file = addFileSelectionMenu();
    addTargetMenu(QStringLiteral("&Target Directory"));
    mnu_font = addCommand(QStringLiteral("F&ont"), [this] { mnu_font_Click(); });
    mnu_loadpic = addCommand(QStringLiteral("&Load Picture"), [this] { mnu_loadpic_Click(); });
    addLevelMenu(QStringLiteral("Transparency Le&vel"),
                 {&mnu_10, &mnu_20, &mnu_30, &mnu_40, &mnu_50, &mnu_60, &mnu_70, &mnu_80, &mnu_90});
    mnu_txtwtr = addCommand(QStringLiteral("T&ext Watermark"), [this] { mnu_txtwtr_Click(); });
    mnu_sav = addCommand(QStringLiteral("&Save"), [this] { mnu_sav_Click(); });
    addOptionsMenu();
    addExitMenu();
    lblfont = addLabel("lblfont", 4680, 1440);
}

void frm_Watertext::Form_Activate()
{
    setWatermarkCaptions(mnu_file, mnu_loadpic, mnu_txtwtr, mnu_sav);

    ToolWindow::Form_Activate();
    resetFont(kResetFontSize);
    CommonDialog.Color = Qt::black;
    setLevel(kDefaultLevel);
    writeFontLabel();
}

void frm_Watertext::writeFontLabel() { lblfont->setText(fontLabelText()); }

void frm_Watertext::Form_MouseMove() { setWindowTitle(shell::tx("watertext.titleMove")); }

void frm_Watertext::mnu_font_Click()
{
    if (chooseFont())
        writeFontLabel();
}

void frm_Watertext::mnu_txtwtr_Click()
{
    if (isBusy())
        return;
    vartext = platform::toolkit().inputBox(shell::tx("watertext.prompt"),
                                           shell::tx("common.title.pixmar"));
}

void frm_Watertext::clearEntryLabels()
{
    WatermarkWindow::clearEntryLabels();
    lblfont->clear();
}
