#pragma once
#include "platform/Progress.h"
#include "platform/Toolkit.h"
#include "platform/Units.h"
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
namespace platform { class Surface; }

namespace shell {

// Base of every window of the program. It gives the window its laid-out client size (in
// twips), the background step on resize, control placement in twips, the window's scale
// mode, and the activation rule: Form_Activate runs when the window
// becomes the program's active window after another window of the program was active (not
// when the desktop merely gives focus back to the program).
class Form : public QMainWindow {
    Q_OBJECT
public:
    Form(const QString &name, double clientWidthTwips, double clientHeightTwips,
         const QString &backgroundFile, QWidget *parent = nullptr);
    ~Form() override;

    const QString &formName() const { return name_; }

    // Shows the window, raises it and makes it the active window of the program,
    // running Form_Activate when it was not the active one already.
    void activate();
    virtual void Form_Activate() {}
    // The background step: paints the window's background stretched over the client area
    // when the file exists and the window is not minimised; returns whether it painted.
    // Windows that adjust controls on resize override this, call it and go on when it is true.
    virtual bool Form_Resize();
    // Closing through the window frame. The default hands control back to the main window.
    virtual void Form_QueryUnload();

    // Enables and refreshes the main window and hides this one (leaving a tool).
    void handBackToMain();

    // ---- units
    platform::ScaleMode scaleMode() const { return scaleMode_; }
    void setScaleMode(platform::ScaleMode m) { scaleMode_ = m; }
    double clientWidth() const;   // in the window's scale mode
    double clientHeight() const;
    int clientWidthPx() const;
    int clientHeightPx() const;
    // lngTwips in pixels: horizontal when bytDirection is 0, vertical otherwise, rounded to
    // the nearest whole number with halves to the even neighbour.
    long ConvertTwipsToPixels(long lngTwips, int bytDirection) const;

    // The client area: controls and surfaces are its children, placed in twips.
    QWidget *client() const { return client_; }
    static void placeTwips(QWidget *w, double left, double top, double width, double height);
    // A vertical length in twips as whole pixels, rounded as placeTwips rounds.
    static int twipsToPixelsY(double twips);
    // A label of the client area placed in twips, filled with its own background so that it
    // stays readable on any background picture.
    QLabel *addOpaqueLabel(const QString &objectName, double left, double top, double width,
                           double height, const QString &text = {});
    // The background as last painted (null when none).
    const QImage &background() const { return background_; }
    QString backgroundPath() const;
    // Lets the menu bar take the rows the captions of the current language need at the
    // window's width, keeping the client area (and so the background) as it is.
    void fitMenuBar();

    // Set when the window is being unloaded by the program (Exit of the main window).
    bool isUnloading() const { return unloading_; }
    void markUnloading() { unloading_ = true; }

    // ---- busy guard
    // A command that lets window events run (a listing, a run, a build) keeps its window busy
    // for its lifetime: busy pointer, the menus and the controls named by guardWhileBusy
    // disabled, closing refused. Without it, a click that arrives meanwhile would start the
    // command again inside itself, and a close would delete the window while the command is
    // still on the stack. Everything is restored on every way out.
    class BusyScope {
    public:
        explicit BusyScope(Form &form);
        ~BusyScope();
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;
        // The normal pointer back before the scope ends (a closing message box).
        void normalPointer() { pointer_.reset(); }

    private:
        Form &form_;
        std::vector<std::pair<QPointer<QAction>, bool>> actions_;
        std::vector<std::pair<QPointer<QWidget>, bool>> controls_;
        QPointer<QWidget> focus_;
        std::optional<platform::BusyPointer> pointer_;
        bool outermost_ = false;
    };
    // Commands check this first: what still reaches a busy window does nothing.
    bool isBusy() const { return busyDepth_ > 0; }
    // True while any window of the program is busy: the main window's Exit would unload it.
    static bool anyBusy();

    // ---- progress and stop
    // While a command keeps the window busy, a strip along the bottom of the client area
    // shows the file in hand ("i of n: name") and a Stop button; Stop and Esc ask the command
    // to end after that file. The strip exists once the window was first busy.
    QWidget *progressStrip() const { return progressStrip_; }
    QProgressBar *progressBar() const { return progressBar_; }
    QLabel *progressLabel() const { return progressLabel_; }
    QPushButton *stopButton() const { return stopButton_; }
    // What Stop and Esc do: the request stays until the command ends.
    void stopCommand();

signals:
    // Closing through the frame unloads the window: its owner destroys it afterwards.
    void unloadRequested(shell::Form *form);

protected:
    // Controls that start or change the work (buttons, the boxes a command reads): disabled
    // while the window is busy, like its menus.
    void guardWhileBusy(std::initializer_list<QWidget *> controls);

    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    friend class FormClient;
    QString name_;
    QString backgroundFile_;
    QWidget *client_ = nullptr;
    QImage background_;
    platform::ScaleMode scaleMode_ = platform::ScaleMode::Twips;
    bool unloading_ = false;
    QSize designClientPx_;
    bool designSized_ = false;
    int busyDepth_ = 0;
    std::vector<QPointer<QWidget>> busyGuarded_;

    void showProgressStrip();
    void hideProgressStrip();
    void placeProgressStrip();
    void showProgress(int index, int count, const QString &name);
    QWidget *progressStrip_ = nullptr;
    QProgressBar *progressBar_ = nullptr;
    QLabel *progressLabel_ = nullptr;
    QPushButton *stopButton_ = nullptr;
    platform::ProgressSink previousSink_;
};

// The main window, as every window reaches it (nullptr when there is none, as on the
// command line).
Form *mainForm();
void setMainForm(Form *form);

} // namespace shell
