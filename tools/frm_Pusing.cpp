#include "tools/frm_Pusing.h"

#include "platform/SurfaceView.h"
#include "platform/Toolkit.h"
#include "shell/Texts.h"
#include "tools/DDBHelper.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>

Q_LOGGING_CATEGORY(lcPusing, "pixmar.tools.rotate", QtWarningMsg)

namespace {

using platform::ScaleMode;

constexpr qint16 kClockwise = 90;
constexpr qint16 kCounterClockwise = 270;
// The export surface holds the turned working surface at this many times its size.
constexpr int kExportScale = 2;

tools::ToolSpec pusingSpec()
{
    tools::ToolSpec s;
    s.textKey = "pusing";
    s.accepted = {QStringLiteral(".bmp"), QStringLiteral(".jpg")};
    s.intermediatePrefix = QStringLiteral("rotx-");
    s.intermediateSuffix = QStringLiteral(".jpg");   // holds a bitmap all the same
    s.outputPrefix = QStringLiteral("rot-");
    s.singleLabelKey = "pusing.label.single";
    s.targetLabelKey = "pusing.label.target";
    s.reportDoneKey = "pusing.report.done";
    s.tooThinText = QStringLiteral("The picture is too thin to be turned: %1 (%2 x %3 pixels)");
    return s;
}

} // namespace

frm_Pusing::frm_Pusing(QWidget *parent)
    : tools::ToolWindow(QStringLiteral("frm_Pusing"), pusingSpec(), tools::kToolClientWidth,
                        tools::kToolClientHeight,
                        QStringLiteral("bg/rotate.jpg"), parent)
{
    // Design captions, until the first activation sets the language's.
    mnu_file = addFileSelectionMenu();
    addTargetMenu(QStringLiteral("&Target Folder"));
    mnu_loadpic = addCommand(QStringLiteral("&Load Picture"), [this] { mnu_loadpic_Click(); });
    mnu_sav = menuBar()->addMenu(QStringLiteral("&Rotate && Save"));
    mnu_90pos = addCommand(QStringLiteral("+ 90 Degree"), [this] { mnu_90pos_Click(); }, mnu_sav);
    mnu_90neg = addCommand(QStringLiteral("- 90 Degree"), [this] { mnu_90neg_Click(); }, mnu_sav);
    addExitMenu();

    for (platform::Surface *s : {&Picture2, &Picture3, &Picture4, &Picture5})
        s->setVisible(false);
    // The hidden surfaces are borderless, so that their drawable areas are their sizes.
    for (platform::Surface *s : {&Picture3, &Picture4, &Picture5})
        s->setBorder(false);
    Picture5.setAutoRedraw(true);
    Picture2View = new platform::SurfaceView(Picture2, client());
    Picture2View->setObjectName(QStringLiteral("Picture2"));
}

frm_Pusing::~frm_Pusing()
{
    // The view refers to Picture2, which goes before the window's children do.
    delete Picture2View;
}

// ---- events

void frm_Pusing::Form_Activate()
{
    setWindowTitle(shell::tx("pusing.title"));
    setCommonCaptions(mnu_file);
    mnu_loadpic->setText(shell::tx("pusing.mnu_loadpic"));
    mnu_sav->setTitle(shell::tx("pusing.mnu_sav"));
    mnu_90pos->setText(shell::tx("pusing.mnu_90pos"));
    mnu_90neg->setText(shell::tx("pusing.mnu_90neg"));
    // The labels keep what they show.
    Picture1.setVisible(false);
}

void frm_Pusing::Form_MouseMove() { setWindowTitle(shell::tx("pusing.title")); }

void frm_Pusing::mnu_single_Click()
{
    if (isBusy())
        return;
    ToolWindow::mnu_single_Click();
    lblfile->setVisible(true);
}

void frm_Pusing::mnu_folder_Click()
{
    if (isBusy())
        return;
    ToolWindow::mnu_folder_Click();
    lbltarget->setVisible(true);
}

void frm_Pusing::mnu_loadpic_Click()
{
    if (isBusy())
        return;
    setScaleMode(ScaleMode::Twips);
    Picture1.setScaleMode(ScaleMode::Twips);
    Picture3.setScaleMode(ScaleMode::Twips);
    loadStep();
}

void frm_Pusing::mnu_90pos_Click()
{
    // The direction must not change under a run that is letting events run.
    if (isBusy())
        return;
    rotplus = true;
    rotminus = false;
    batchRun();
}

void frm_Pusing::mnu_90neg_Click()
{
    if (isBusy())
        return;
    rotplus = false;
    rotminus = true;
    batchRun();
}

// ---- input checks

std::vector<tools::InputCheck> frm_Pusing::checks(const char *noSourceKey, const char *noTargetKey,
                                                  const char *fileTitleKey,
                                                  const char *folderTitleKey) const
{
    std::vector<tools::InputCheck> list =
        standardChecks(noSourceKey, noTargetKey, fileTitleKey, folderTitleKey);
    // Without Single or Bulk chosen there is no source at all: ask for one instead of
    // listing an empty path.
    list[1].fails = [this] {
        return !varsingle.value_or(false) && (!varbulk.value_or(false) || varsrcdir.isEmpty());
    };
    return list;
}

std::vector<tools::InputCheck> frm_Pusing::loadChecks() const
{
    return checks("common.msg.noSourceFolder", "common.msg.noTargetFolder",
                  "pusing.title.invalidFile", "pusing.title.invalidFolder");
}

std::vector<tools::InputCheck> frm_Pusing::runChecks() const
{
    return checks("common.msg.noSource", "common.msg.noTarget", "common.title.invalidFile",
                  "common.title.invalidFolder");
}

// ---- surfaces

void frm_Pusing::centreInClient(platform::Surface &surface)
{
    const ScaleMode u = scaleMode();
    surface.setLeft(clientWidth() / 2 - surface.outerWidth(u) / 2, u);
    surface.setTop(clientHeight() / 2 - surface.outerHeight(u) / 2, u);
}

void frm_Pusing::FitPicture(platform::Surface &surface, const platform::Picture &picture)
{
    reducedw = false;
    reducedh = false;
    const tools::FitResult r = fitIntoSurface(surface, picture, false);
    reducedw = r.reducedWidth;
    reducedh = r.reducedHeight;
}

void frm_Pusing::fitForTurn(platform::Surface &surface)
{
    surface.setAutoRedraw(true);
    surface.setBorder(false);
    FitPicture(surface, picsrc);
    surface.refresh();
    surface.setAutoRedraw(false);
}

void frm_Pusing::prepareLoadSurfaces()
{
    lblfile->setVisible(false);
    lbltarget->setVisible(false);
    Picture2.setVisible(false);
    Picture3.setOuterSize(kWorkSideTwips, kWorkSideTwips, ScaleMode::Twips);
    Picture1.setOuterSize(kPreviewSideTwips, kPreviewSideTwips, ScaleMode::Twips);
}

void frm_Pusing::showFirstPicture()
{
    // Decoded once for the working surface; the smaller preview is fitted from the same
    // picture, which a second decoding of the file would only repeat.
    loadEntryPicture(Picture3);
    fitForTurn(Picture3);
    fitForTurn(Picture1);
    Picture1.setVisible(true);
    centreInClient(Picture1);
    platform::doEvents();
}

void frm_Pusing::prepareEntrySurfaces()
{
    setScaleMode(ScaleMode::Twips);
    Picture1.setScaleMode(ScaleMode::Twips);
    Picture3.setScaleMode(ScaleMode::Twips);
    Picture1.setVisible(true);
    Picture2.setVisible(false);
    Picture3.setOuterSize(kWorkSideTwips, kWorkSideTwips, ScaleMode::Twips);
    Picture1.setOuterSize(kPreviewSideTwips, kPreviewSideTwips, ScaleMode::Twips);
    Picture2.setOuterSize(kPreviewSideTwips, kPreviewSideTwips, ScaleMode::Twips);
}

// ---- the turn

void frm_Pusing::RotatePicture(platform::Surface &fromPic, platform::Surface &toPic, qint16 angle)
{
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270) {
        qCWarning(lcPusing) << "no quarter turn:" << angle;
        return;
    }
    DDBHelper::PixelGrid src;
    DDBHelper::FormatCode bits = 0;
    DDBHelper::GetBitmapPixels(fromPic, src, bits);
    DDBHelper::PixelGrid dst = DDBHelper::RotateGrid(src, angle);
    // The drawable area takes exactly the turned pixels; a border keeps its allowance.
    const int allowanceW = toPic.outerWidthPx() - toPic.innerWidthPx();
    const int allowanceH = toPic.outerHeightPx() - toPic.innerHeightPx();
    toPic.setOuterSize(allowanceW + dst.width(), allowanceH + dst.height(), ScaleMode::Pixels);
    DDBHelper::SetBitmapPixels(toPic, bits, dst);
    toPic.setPicture(platform::Picture(toPic.drawTarget()));
}

qint16 frm_Pusing::runAngle() const
{
    if (rotplus)
        return kClockwise;
    if (rotminus)
        return kCounterClockwise;
    return 0;
}

void frm_Pusing::RotateSurfaces()
{
    if (rotview)
        Picture1.setVisible(false);
    const qint16 angle = runAngle();
    if (rotwork)
        RotatePicture(Picture3, Picture4, angle);
    else if (rotview)
        RotatePicture(Picture1, Picture2, angle);
    if (rotview) {
        centreInClient(Picture2);
        Picture2.setVisible(true);
    }
}

// ---- the run

void frm_Pusing::processEntry()
{
    rotwork = true;
    rotview = false;
    loadEntryPicture(Picture3);
    fitForTurn(Picture3);
    RotateSurfaces();

    rotwork = false;
    rotview = true;
    fitForTurn(Picture1);
    Picture1.setVisible(true);
    centreInClient(Picture1);
    RotateSurfaces();

    // The flags are the preview's: a picture that did not fit the preview is written at
    // twice its working size.
    if (reducedw || reducedh) {
        Picture5.setOuterSize(kExportScale * Picture4.outerWidthPx(),
                              kExportScale * Picture4.outerHeightPx(), ScaleMode::Pixels);
        platform::doEvents();
        Picture5.setScaleMode(ScaleMode::Pixels);
        Picture5.setAutoRedraw(true);
        Picture5.clearPicture();
        // Drawn with drawing kept, so the persistent image is what gets saved; making it the
        // surface's picture as well would only copy 2 x 2 times the working size again.
        Picture5.paintPicture(Picture4.picture(), 0, 0, Picture5.innerWidthPx(),
                              Picture5.innerHeightPx());
        writeIntermediate(Picture5.persistentImage());
        Picture5.clearPicture();
    } else {
        platform::doEvents();
        writeIntermediate(Picture4.picture().image());
    }
    ConvertRotatedFile();
    lbltarget->clear();
    lblfile->clear();
}

void frm_Pusing::ConvertRotatedFile() { convertOutput(false); }
