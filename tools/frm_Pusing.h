#pragma once
#include "platform/Surface.h"
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

    // Picture1 (inherited) is the preview before the turn.
    platform::Surface Picture2;   // the turned preview, shown
    platform::Surface Picture3;   // working surface, never shown
    platform::Surface Picture4;   // the turned working surface: the result
    platform::Surface Picture5;   // export surface: Picture4 at twice its size

    bool rotplus = false;    // the run turns clockwise
    bool rotminus = false;   // the run turns counter-clockwise
    bool rotwork = false;    // RotateSurfaces turns Picture3 into Picture4
    bool rotview = false;    // RotateSurfaces turns Picture1 into Picture2
    bool reducedw = false;   // the last fitted picture was wider than its surface
    bool reducedh = false;   // ... taller, after the width step

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

    // Writes the pixels of fromPic turned by `angle` (0, 90, 180 or 270 degrees clockwise)
    // into toPic, sized to hold them exactly; toPic keeps them as its picture. Any other
    // angle leaves toPic as it is.
    void RotatePicture(platform::Surface &fromPic, platform::Surface &toPic, qint16 angle);
    // The fit of the shared pattern without moving the surface; sets reducedw / reducedh.
    void FitPicture(platform::Surface &surface, const platform::Picture &picture);
    // Turns the working surface (rotwork) or the preview (rotview) by the run's direction.
    void RotateSurfaces();
    // The intermediate bitmap into the output file in the source's format.
    void ConvertRotatedFile();

    // Working and preview surface sizes before each picture (twips).
    static constexpr double kWorkSideTwips = 16000;
    static constexpr double kPreviewSideTwips = 8000;

protected:
    std::vector<tools::InputCheck> loadChecks() const override;
    std::vector<tools::InputCheck> runChecks() const override;
    void prepareLoadSurfaces() override;
    void showFirstPicture() override;
    void prepareEntrySurfaces() override;
    void processEntry() override;

private:
    // The three input checks with the given texts, where a source that was never chosen
    // (neither Single nor Bulk) counts as a missing source folder.
    std::vector<tools::InputCheck> checks(const char *noSourceKey, const char *noTargetKey,
                                          const char *fileTitleKey,
                                          const char *folderTitleKey) const;
    // Fits the picture into a surface with drawing kept for the fit only: the turn reads
    // what was drawn.
    void fitForTurn(platform::Surface &surface);
    void centreInClient(platform::Surface &surface);
    // The run's direction (angle), from rotplus / rotminus.
    qint16 runAngle() const;

    platform::SurfaceView *Picture2View = nullptr;
};
