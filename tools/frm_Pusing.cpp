#include "tools/frm_Pusing.h"

#include "platform/SurfaceView.h"
#include "platform/Toolkit.h"
#include "shell/Texts.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>

frm_Pusing::frm_Pusing(QWidget *parent)
    : tools::ToolWindow(QStringLiteral("frm_Pusing"), std::make_unique<tools::RotateRecipe>(),
                        tools::kToolClientWidth, tools::kToolClientHeight,
                        QStringLiteral("bg/rotate.jpg"), parent),
      turn(static_cast<tools::RotateRecipe &>(run().recipe())), Picture2(turn.Picture2),
      Picture3(turn.Picture3), Picture4(turn.Picture4), Picture5(turn.Picture5)
{
    // The captions a new window shows until its first activation sets the language's.
    mnu_file = addFileSelectionMenu();
    addTargetMenu(QStringLiteral("&Target Folder"));
    mnu_loadpic = addCommand(QStringLiteral("&Load Picture"), [this] { mnu_loadpic_Click(); });
    mnu_sav = menuBar()->addMenu(QStringLiteral("&Rotate && Save"));
    mnu_90pos = addCommand(QStringLiteral("+ 90 Degree"), [this] { mnu_90pos_Click(); }, mnu_sav);
    mnu_90neg = addCommand(QStringLiteral("- 90 Degree"), [this] { mnu_90neg_Click(); }, mnu_sav);
    addOptionsMenu(true);
    addExitMenu();

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
    loadStep();
}

void frm_Pusing::mnu_90pos_Click()
{
    // The direction must not change under a run that is letting events run.
    if (isBusy())
        return;
    turn.rotplus = true;
    turn.rotminus = false;
    batchRun();
}

void frm_Pusing::mnu_90neg_Click()
{
    if (isBusy())
        return;
    turn.rotplus = false;
    turn.rotminus = true;
    batchRun();
}

void frm_Pusing::loadStarted()
{
    lblfile->setVisible(false);
    lbltarget->setVisible(false);
}
