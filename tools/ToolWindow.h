#pragma once
#include "shell/Form.h"
#include "tools/OutputOptions.h"
#include "tools/BoxRunHost.h"
#include "tools/PictureRun.h"

#include <QColor>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
namespace platform { class SurfaceView; }

namespace tools {

// The window of a picture tool: menus, labels and the shown preview. The work is the run's
// (PictureRun with the tool's recipe); the window forwards its commands and shows the run's
// surfaces. A tool derives from it and builds its menus in its own order with the helpers
// below.
//
// While the load step or a run lets window events run, the window's menus are disabled and
// the window cannot be closed, so nothing can re-enter them.
class ToolWindow : public shell::Form, public BoxRunHost {
    Q_OBJECT
public:
    ~ToolWindow() override;

    QLabel *lblfile = nullptr;
    QLabel *lbltarget = nullptr;
    QAction *mnu_single = nullptr;
    QAction *mnu_bulk = nullptr;
    QAction *mnu_folder = nullptr;
    QAction *mnu_exit = nullptr;
    OptionsMenu *mnu_options = nullptr;
    QLabel *lbloptions = nullptr;   // the output options while any is set

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
    void Picture1_Click();

    // A click on the preview given in pixels from the fitted picture's top-left corner, as the
    // pointer makes it (the readout follows).
    void clickAtPixels(double x, double y);

    // The common dialog control's settings, as the run holds them.
    CommonDialogSettings &CommonDialog;

    const PictureRun &run() const { return run_; }
    PictureRun &run() { return run_; }
    const RunOutcome &outcome() const { return run_.outcome(); }
    // The preview, as the run holds it.
    platform::Surface &Picture1;

    // ---- RunHost
    void entryDone() override { clearEntryLabels(); }

    // ---- stepping through a loaded folder (the marking tools, Bulk)
    QPushButton *cmdprevious = nullptr;
    QPushButton *cmdnext = nullptr;
    QLabel *lblstep = nullptr;   // "i of n: name", and whether the mark is cut or missing there
    // Shows the folder's accepted picture `index` with the mark where the run will draw it.
    void stepTo(int index);
    // Bulk on `folder`, loaded (for a look at the window without dialogs).
    void loadFolder(const QString &folder);

protected:
    ToolWindow(const QString &name, std::unique_ptr<ToolRecipe> recipe, double clientWidthTwips,
               double clientHeightTwips, const QString &backgroundFile, QWidget *parent);

    // ---- menus, built by each tool in its own order
    // "&File Selection" with "&Single" and "&Bulk".
    QMenu *addFileSelectionMenu();
    void addTargetMenu(const QString &designCaption);
    QAction *addCommand(const QString &designCaption, std::function<void()> handler,
                        QMenu *under = nullptr);
    void addExitMenu();
    // "Options": how the outputs are written (the rotate tool also offers lossless turns).
    void addOptionsMenu(bool offersLossless = false);
    // Captions of the shared entries for the current language ("<textKey>.mnu_files",
    // ".mnu_single", ".mnu_bulk", ".mnu_folder", ".mnu_exit").
    void setCommonCaptions(QMenu *fileMenu);
    // A label of the window, placed in twips, in Times New Roman 12.
    QLabel *addLabel(const char *objectName, double left, double top);

    // ---- the font of the text tools
    // Activation starts from the tool's font in Times New Roman (the dialog keeps bold and
    // italic as they were).
    void resetFont(double size);
    // "Font : <name> / Size : <size>" for the current language.
    QString fontLabelText() const;
    // The font dialog on the current font; false when the window is busy.
    bool chooseFont();

    // ---- the two commands, forwarded to the run while the window is guarded
    void loadStep();   // Load Picture
    void batchRun();   // Save
    // A command of the window that must not run while the run lets events run.
    bool guarded(const std::function<void()> &command);

    // The labels emptied after each entry of the run (source and target by default).
    virtual void clearEntryLabels();
    // The pointer readout label for the current language.
    virtual QString readoutLabel() const;
    // A text of this tool: "<textKey>.<item>".
    QString toolText(const char *item) const { return run_.toolText(item); }

    platform::SurfaceView *Picture1View = nullptr;

private:
    bool eventFilter(QObject *watched, QEvent *event) override;

    void showStep();

    std::unique_ptr<ToolRecipe> recipe_;
    PictureRun run_;
    // The last load of a folder found no picture to show: Save waits for one.
    bool nothingShown_ = false;
};

} // namespace tools
