#include "tools/frm_WaterLogo.h"

#include "platform/Errors.h"
#include "platform/Toolkit.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QLabel>
#include <QMenu>

#include <algorithm>

namespace {

using platform::ScaleMode;

// "0%" would lay the logo fully opaque; the tool stops one step short of that.
constexpr int kTopLogoOpacity = 254;
// The logo surface as the window's design places it (hidden: it only feeds the blend).
constexpr double kLogoSurfaceLeft = 12600, kLogoSurfaceWidth = 5295, kLogoSurfaceHeight = 4815;

tools::ToolSpec waterlogoSpec()
{
    tools::ToolSpec s;
    s.textKey = "waterlogo";
    s.accepted = {QStringLiteral(".bmp"), QStringLiteral(".jpg")};
    s.intermediatePrefix = QStringLiteral("adwl-");
    s.intermediateSuffix = QStringLiteral(".jpg");   // holds a bitmap all the same
    s.outputPrefix = QStringLiteral("awlo-");
    s.singleLabelKey = "waterlogo.label.single";
    s.targetLabelKey = "waterlogo.label.target";
    return s;
}

} // namespace

const QStringList frm_WaterLogo::kLevels = {
    QStringLiteral("0%"),  QStringLiteral("10%"), QStringLiteral("20%"), QStringLiteral("30%"),
    QStringLiteral("40%"), QStringLiteral("50%"), QStringLiteral("60%"), QStringLiteral("70%"),
    QStringLiteral("80%"), QStringLiteral("90%")};
const QString frm_WaterLogo::kDefaultLevel = QStringLiteral("0%");
const QString frm_WaterLogo::kLogoFilter = QStringLiteral(
    "All Image Files (*.jpg; *.bmp; *.png)| *.jpg; *.bmp; *.png|JPEG (*.jpg)|*.jpg|"
    "Bitmap (*.bmp)|*.bmp|PNG (*.png)|*.png");

frm_WaterLogo::frm_WaterLogo(QWidget *parent)
    : tools::WatermarkWindow(QStringLiteral("frm_WaterLogo"), waterlogoSpec(), kLevels, parent)
{
    mnu_file = addFileSelectionMenu();
    addTargetMenu(QStringLiteral("&Target Folder"));
    mnu_loadpic = addCommand(QStringLiteral("&Load Picture"), [this] { mnu_loadpic_Click(); });
    addLevelMenu(QStringLiteral("Transparency Le&vel"));
    QAction **named[] = {&mnu_0,  &mnu_10, &mnu_20, &mnu_30, &mnu_40,
                         &mnu_50, &mnu_60, &mnu_70, &mnu_80, &mnu_90};
    for (size_t i = 0; i < levelMenus().size(); ++i)
        *named[i] = levelMenus()[i];
    mnu_txtwtr = addCommand(QStringLiteral("LO&GO Watermark"), [this] { mnu_txtwtr_Click(); });
    mnu_sav = addCommand(QStringLiteral("&Save"), [this] { mnu_sav_Click(); });
    addExitMenu();
    lblogo = addLabel("lblogo", 4680, 1440);

    Picture2.setOuterSize(kLogoSurfaceWidth, kLogoSurfaceHeight, ScaleMode::Twips);
    Picture2.setLeft(kLogoSurfaceLeft, ScaleMode::Twips);
    // Loading a logo sizes the surface to it, so that the blend covers exactly the logo.
    Picture2.setAutoSize(true);
}

void frm_WaterLogo::Form_Activate()
{
    setWindowTitle(shell::tx("waterlogo.title"));
    setCommonCaptions(mnu_file);
    mnu_loadpic->setText(shell::tx("waterlogo.mnu_loadpic"));
    mnu_tranparent->setTitle(shell::tx("waterlogo.mnu_tranparent"));
    mnu_txtwtr->setText(shell::tx("waterlogo.mnu_txtwtr"));
    mnu_sav->setText(shell::tx("waterlogo.mnu_sav"));

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

void frm_WaterLogo::Picture1_Click()
{
    // The library start made for the click is undone before the box shows.
    try {
        WatermarkWindow::Picture1_Click();
    } catch (const platform::AppError &e) {
        shell::showError(e.description());
    }
}

std::vector<tools::InputCheck> frm_WaterLogo::loadChecks() const
{
    auto checks = standardChecks("common.msg.noSourceFolder", "common.msg.noTargetFolder",
                                 "waterlogo.title.invalidFile", "waterlogo.title.invalidFolder");
    checks.push_back({[this] { return varlogo.isEmpty(); }, "waterlogo.msg.noLogoLoad",
                      "waterlogo.title.invalidFile"});
    return checks;
}

std::vector<tools::InputCheck> frm_WaterLogo::runChecks() const
{
    auto checks = standardChecks();
    checks.push_back({[this] { return varlogo.isEmpty(); }, "waterlogo.msg.noLogoRun",
                      "common.title.invalidFile"});
    return checks;
}

void frm_WaterLogo::prepareMarkSurface()
{
    Picture2.setAutoRedraw(true);
    Picture2.setScaleMode(ScaleMode::Pixels);
    Picture2.cls();
    Picture2.setBackColor(Qt::black);
    int w = -1, h = -1;
    Picture2.setPicture(modGDIPlusResize::LoadPictureScaled(varlogo, w, h, 0, false));
    Picture2.refresh();
    // Read once the logo is in: the surface has taken its size, so a new logo larger than the
    // last one is blended whole.
    markWidth = Picture2.innerWidthPx();
    markHeight = Picture2.innerHeightPx();
}

int frm_WaterLogo::sourceConstantAlpha() const
{
    return std::min(tools::opacityForLevel(varlevel), kTopLogoOpacity);
}

void frm_WaterLogo::markWorkStarted() { gdiptoken = modGDIPlusResize::StartGdiPlus(); }

void frm_WaterLogo::markWorkEnded() { modGDIPlusResize::StopGdiPlus(gdiptoken); }

void frm_WaterLogo::clearEntryLabels()
{
    WatermarkWindow::clearEntryLabels();
    lblogo->clear();
}
