#pragma once
#include "platform/Files.h"
#include "platform/Picture.h"
#include "platform/Surface.h"
#include "shell/Form.h"
#include "tools/BatchRun.h"

#include <QColor>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMenu;
namespace platform { class AppError; class SurfaceView; }

namespace tools {

// The state every picture tool window keeps, under the names all the tools share.
struct ToolState {
    std::optional<bool> varsingle;   // Single mode chosen (unset until a mode is chosen)
    std::optional<bool> varbulk;     // Bulk mode chosen
    QString varfile;     // Single: the chosen file; Bulk: the source folder once a load or run starts
    QString varsrcdir;   // source folder (Bulk)
    QString vartgtdir;   // target folder
    QString curdir;      // folder of the current listing, ending in a separator
    QString curfile;     // current listing entry; empty when the listing is exhausted
    QString curext;      // its extension, lower-cased, with the dot
    QString basename;    // its name without the extension
    QString tmppath;     // the intermediate bitmap of the current entry
    QString invalidlist; // skipped names, newest first, each followed by " ; "
    qint16 invalidcount = 0;
    bool invalidflag = false;
    platform::Picture picsrc;   // the picture of the current entry
    double lastX = 0, lastY = 0;   // last pointer position over the preview (preview units)
    double posX = 0, posY = 0;     // the position chosen by clicking the preview
    int N = 0;                     // files counted by the run
};

// The design client area of every picture tool window, in twips.
constexpr double kToolClientWidth = 19920;
constexpr double kToolClientHeight = 9555;

// One input check: when `fails` is true the message `textKey` is shown under `titleKey`.
struct InputCheck {
    std::function<bool()> fails;
    const char *textKey;
    const char *titleKey;
};

// The values by which the picture tools differ in the shared pattern.
struct ToolSpec {
    const char *textKey;            // prefix of the tool's texts: "<textKey>.report.title" ...
    QStringList accepted;           // lower-case extensions with the dot
    QString intermediatePrefix;     // "adtx-"
    QString intermediateSuffix;     // ".bmp"; the content is a bitmap whatever the suffix
    QString outputPrefix;           // "adt-"
    const char *singleLabelKey = "common.label.single";
    const char *targetLabelKey = "common.label.target";
    const char *reportDoneKey = "common.report.done";   // end of the report's first line
    QString openFilter = QStringLiteral(
        "All Image Files (*.jpg; *.bmp)| *.jpg; *.bmp|JPEG (*.jpg)|*.jpg|Bitmap (*.bmp)|*.bmp");
    // Description of the error for a picture the fit leaves less than a pixel across (%1 the
    // file, %2 × %3 its size in pixels).
    QString tooThinText = QStringLiteral("The picture is too thin to be shown: %1 (%2 x %3 pixels)");
};

// The window pattern and the batch run shared by the picture tools. A tool derives from it,
// builds its menus in its own order with the helpers below, and supplies its per-file work
// (processEntry) and the steps where it departs from the pattern (the virtual hooks).
//
// While the load step or a run lets window events run, the window's menus are disabled and
// the window cannot be closed, so nothing can re-enter them.
class ToolWindow : public shell::Form, public ToolState {
    Q_OBJECT
public:
    enum class RunOutcome { None, InputFault, Reported, Stopped };

    ~ToolWindow() override;

    // The preview: shown in the window, holds the fitted picture; it is what gets saved.
    platform::Surface Picture1;
    QLabel *lblfile = nullptr;
    QLabel *lbltarget = nullptr;
    QAction *mnu_single = nullptr;
    QAction *mnu_bulk = nullptr;
    QAction *mnu_folder = nullptr;
    QAction *mnu_exit = nullptr;

    virtual void mnu_single_Click();
    virtual void mnu_bulk_Click();
    virtual void mnu_folder_Click();
    void mnu_exit_Click();
    // Common part of activation: the preview is hidden, the source and target labels emptied.
    // Tools set their captions and call this.
    void Form_Activate() override;
    virtual void Form_MouseMove() {}
    // Pointer over the preview, in the preview's units: the readout in the title.
    virtual void Picture1_MouseMove(double x, double y);
    virtual void Picture1_Click() {}

    // A click on the preview given in pixels from the fitted picture's top-left corner (the
    // command line's --at), turned into the units the tool's preview is clicked in.
    void clickAtPixels(double x, double y);

    // The settings of the common dialog control: the open-file dialog's file name (kept from
    // its last use) and the font and colour settings.
    struct CommonDialogSettings {
        QString FileName;
        platform::FontSpec font;
        QColor Color = Qt::black;
    } CommonDialog;

    RunOutcome lastRun() const { return lastRun_; }
    const platform::FolderListing &listing() const { return listing_; }
    const ToolSpec &spec() const { return spec_; }

protected:
    ToolWindow(const QString &name, ToolSpec spec, double clientWidthTwips,
               double clientHeightTwips, const QString &backgroundFile, QWidget *parent);

    // ---- menus, built by each tool in its own order
    // "&File Selection" with "&Single" and "&Bulk".
    QMenu *addFileSelectionMenu();
    void addTargetMenu(const QString &designCaption);
    QAction *addCommand(const QString &designCaption, std::function<void()> handler,
                        QMenu *under = nullptr);
    void addExitMenu();
    // Captions of the shared entries for the current language ("<textKey>.mnu_files",
    // ".mnu_single", ".mnu_bulk", ".mnu_folder", ".mnu_exit").
    void setCommonCaptions(QMenu *fileMenu);
    // A label of the window, placed in twips, in Times New Roman 12.
    QLabel *addLabel(const char *objectName, double left, double top);

    // ---- input checks
    // The table of the batch run: picture file, source folder, target folder.
    std::vector<InputCheck> standardChecks(const char *noSourceKey = "common.msg.noSource",
                                           const char *noTargetKey = "common.msg.noTarget",
                                           const char *fileTitleKey = "common.title.invalidFile",
                                           const char *folderTitleKey =
                                               "common.title.invalidFolder") const;
    virtual std::vector<InputCheck> loadChecks() const { return standardChecks(); }
    virtual std::vector<InputCheck> runChecks() const { return standardChecks(); }

    // ---- the two commands
    void loadStep();   // Load Picture
    void batchRun();   // Save

    // ---- hooks (defaults follow the shared pattern)
    // Load step: show the preview over the client area (before the listing is taken).
    virtual void prepareLoadSurfaces();
    // Load step: the first accepted entry into the preview.
    virtual void showFirstPicture();
    // Run: units and surfaces before each entry.
    virtual void prepareEntrySurfaces();
    // Run: the work on one accepted entry; throws platform::AppError for a file error.
    virtual void processEntry() = 0;
    // After the report: the tool's own main input (the text to insert, ...).
    virtual void clearMainInput() {}
    // Units of the preview when the user clicks it.
    virtual platform::ScaleMode clickUnits() const { return platform::ScaleMode::Twips; }
    // The pointer readout label for the current language.
    virtual QString readoutLabel() const;

    // ---- helpers for the per-file work
    // Loads curdir + curfile into picsrc, decoding a large picture at reduced scale, never
    // below the size it will be fitted into on `surface`.
    void loadEntryPicture(const platform::Surface &surface);
    // The fit into the preview: clears `surface`, sizes it to the fitted picture (outer size),
    // paints the picture into it and makes that its persistent picture. `place` moves its
    // left edge (the preview); the other surfaces stay where they are. Throws
    // platform::AppError (ToolSpec::tooThinText) when the fitted picture is less than a pixel
    // across: there would be nothing to draw on or to save.
    FitResult fitIntoSurface(platform::Surface &surface, const platform::Picture &picture,
                             bool place = true);
    // Writes the intermediate bitmap of the current entry (tmppath) under a free name.
    void writeIntermediate(const QImage &image);
    // Converts tmppath into the output file and deletes tmppath; the output is then shown in
    // the preview when `showOutput`, else the preview's picture is only cleared.
    void convertOutput(bool showOutput);
    QString outputPath() const;
    QString inTarget(const QString &name) const;
    void sizePreviewToClient();

    // A text of this tool: "<textKey>.<item>".
    QString toolText(const char *item) const;
    bool inputCheck(const std::vector<InputCheck> &checks);

    platform::SurfaceView *Picture1View = nullptr;

private:
    void processListedEntry();
    QString completionReportText() const;
    bool eventFilter(QObject *watched, QEvent *event) override;

    ToolSpec spec_;
    platform::FolderListing listing_;
    std::unique_ptr<IntermediateFile> intermediate_;
    RunOutcome lastRun_ = RunOutcome::None;
};

} // namespace tools
