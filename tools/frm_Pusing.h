#pragma once
#include "platform/Surface.h"
#include "tools/RotateRecipe.h"
#include "tools/ToolWindow.h"

class QAction;
class QMenu;
namespace platform { class SurfaceView; }

// Rotate picture: turns one picture or every accepted picture of a folder by a quarter turn,
// clockwise ("+ 90 Degree") or counter-clockwise ("- 90 Degree"). Each picture is handled
// twice: fitted into a large off-screen working surface, whose turned copy is saved, and into
// the preview, whose turned copy is shown.
class frm_Pusing : public tools::ToolWindow {
    Q_OBJECT
public:
    explicit frm_Pusing(QWidget *parent = nullptr);
    ~frm_Pusing() override;

    // The recipe's surfaces and flags under the names the window has always shown.
    tools::RotateRecipe &turn;
    platform::Surface &Picture2;   // the turned preview, shown
    platform::Surface &Picture3;   // working surface, never shown
    platform::Surface &Picture4;   // the turned working surface: the result
    platform::Surface &Picture5;   // export surface: Picture4 at twice its size

    QMenu *mnu_file = nullptr;
    QAction *mnu_loadpic = nullptr;
    QMenu *mnu_sav = nullptr;
    QAction *mnu_90pos = nullptr;
    QAction *mnu_90neg = nullptr;

    void Form_Activate() override;
    void Form_MouseMove() override;
    // The rotate window has no pointer readout.
    void Picture1_MouseMove(double, double) override {}
    void mnu_single_Click() override;
    void mnu_folder_Click() override;
    void mnu_loadpic_Click();
    void mnu_90pos_Click();
    void mnu_90neg_Click();

    // Load step: the source and target labels give way to the preview.
    void loadStarted() override;

private:
    platform::SurfaceView *Picture2View = nullptr;
};
