#pragma once
#include "tools/PictureRun.h"

namespace tools {

// Rotate: each picture is handled twice, fitted into a large working surface whose turned
// copy is saved, and into the preview, whose turned copy is shown.
class RotateRecipe : public ToolRecipe {
public:
    // Picture1 (the run's) is the preview before the turn.
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

    // Working and preview surface sizes before each picture (twips).
    static constexpr double kWorkSideTwips = 16000;
    static constexpr double kPreviewSideTwips = 8000;

    RotateRecipe();

    // Writes the pixels of fromPic turned by `angle` (0, 90, 180 or 270 degrees clockwise)
    // into toPic, sized to hold them exactly; toPic keeps them as its picture. Any other
    // angle leaves toPic as it is.
    static void RotatePicture(platform::Surface &fromPic, platform::Surface &toPic, qint16 angle);
    // The fit of the shared pattern without moving the surface; sets reducedw / reducedh.
    void FitPicture(PictureRun &run, platform::Surface &surface, const platform::Picture &picture);
    // Turns the working surface (rotwork) or the preview (rotview) by the run's direction.
    void RotateSurfaces(PictureRun &run);
    // Units of the load step's surfaces (twips), set by Load Picture before it runs.
    void prepareLoadUnits(PictureRun &run) override;

    const ToolSpec &spec() const override;
    std::unique_ptr<ToolRecipe> cloneForWorker() const override;
    std::vector<InputCheck> loadChecks(const PictureRun &run) const override;
    std::vector<InputCheck> runChecks(const PictureRun &run) const override;
    void prepareLoadSurfaces(PictureRun &run) override;
    void showFirstPicture(PictureRun &run) override;
    void prepareEntrySurfaces(PictureRun &run) override;
    const platform::Surface &decodedFor(const PictureRun &run) const override;
    bool drawsFromPreview(const PictureRun &) const override { return false; }
    QByteArray outputWithoutDrawing(PictureRun &run) override;
    void place(PictureRun &run) override;
    void mark(PictureRun &) override {}
    QImage fittedOutput(PictureRun &run) override;
    void writeOwnSize(PictureRun &run) override;
    std::vector<platform::Surface *> shownSurfaces() override { return {&Picture2}; }
    std::vector<platform::Surface *> drawnSurfaces() override
    {
        return {&Picture2, &Picture3, &Picture4, &Picture5};
    }

private:
    // The three input checks with the given texts, where a source that was never chosen
    // (neither Single nor Bulk) counts as a missing source folder.
    static std::vector<InputCheck> checks(const PictureRun &run, const char *noSourceKey,
                                          const char *noTargetKey, const char *fileTitleKey,
                                          const char *folderTitleKey);
    // Fits the picture into a surface with drawing kept for the fit only: the turn reads
    // what was drawn.
    void fitForTurn(PictureRun &run, platform::Surface &surface);
    static void centreInClient(const PictureRun &run, platform::Surface &surface);
    // The file whose picture the load step left in the run's picsrc; empty once used.
    QString shownPath_;
    // The run's direction (angle), from rotplus / rotminus.
    qint16 runAngle() const;
};

} // namespace tools
