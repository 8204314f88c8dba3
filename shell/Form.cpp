#include "shell/Form.h"
#include "platform/SmoothScale.h"

#include "platform/Files.h"
#include "platform/Toolkit.h"
#include "platform/Progress.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace shell {

// The client area: paints the window's background behind its controls.
class FormClient : public QWidget {
public:
    explicit FormClient(Form *form) : QWidget(form), form_(form) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (form_->background_.isNull())
            return;
        QPainter p(this);
        p.drawImage(0, 0, form_->background_);
    }

private:
    Form *form_;
};

namespace {

Form *g_mainForm = nullptr;
QPointer<Form> g_lastActive;
int g_busyForms = 0;

// Activate runs when focus moves between the program's own windows, not when the desktop
// hands focus back to the program: a window re-reads the language then, and only then.
void noteActivated(Form *form)
{
    if (!form || form == g_lastActive)
        return;
    g_lastActive = form;
    form->Form_Activate();
    form->fitMenuBar();
}

// The rows of a wrapped menu bar (see Form::fitMenuBar), or nullptr.
QWidget *menuRows(const QMenuBar *bar)
{
    return bar->findChild<QWidget *>(QStringLiteral("menuRows"), Qt::FindDirectChildrenOnly);
}

void watchFocus()
{
    static bool connected = false;
    if (connected || !qApp)
        return;
    connected = true;
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, qApp, [](QWindow *w) {
        if (!w)
            return;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->windowHandle() == w) {
                if (auto *f = qobject_cast<Form *>(top); f && f->isEnabled())
                    noteActivated(f);
                return;
            }
        }
    });
}

} // namespace

Form *mainForm() { return g_mainForm; }
void setMainForm(Form *form) { g_mainForm = form; }

Form::Form(const QString &name, double clientWidthTwips, double clientHeightTwips,
           const QString &backgroundFile, QWidget *parent)
    : QMainWindow(parent), name_(name), backgroundFile_(backgroundFile)
{
    setObjectName(name);
    client_ = new FormClient(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    // Commands stand on the menu bar itself; a desktop's global menu would hide them.
    menuBar()->setNativeMenuBar(false);
    // The laid-out size is the client area; the menu bar comes on top of it.
    const int w = static_cast<int>(std::lround(clientWidthTwips / platform::twipsPerPixelX()));
    const int h = static_cast<int>(std::lround(clientHeightTwips / platform::twipsPerPixelY()));
    client_->setMinimumSize(0, 0);
    designClientPx_ = QSize(w, h);
    resize(w, h + menuBar()->sizeHint().height());
    client_->resize(w, h);
    // Centred on the screen.
    if (QScreen *s = QGuiApplication::primaryScreen()) {
        const QRect avail = s->availableGeometry();
        move(avail.center() - QPoint(width() / 2, height() / 2));
    }
    watchFocus();
}

Form::~Form()
{
    if (g_lastActive == this)
        g_lastActive = nullptr;
}

void Form::activate()
{
    show();
    raise();
    activateWindow();
    noteActivated(this);
}

QString Form::backgroundPath() const
{
    return backgroundFile_.isEmpty() ? QString() : platform::installPath(backgroundFile_);
}

bool Form::Form_Resize()
{
    const QString path = backgroundPath();
    if (path.isEmpty() || !HasFile(path))
        return false;
    if (isMinimized())
        return false;
    // Loaded again on every resize, so a changed file shows without restarting.
    QImageReader reader(path);
    QImage img = reader.read();
    if (img.isNull())
        return false;
    const QSize size(clientWidthPx(), clientHeightPx());
    if (size.isEmpty())
        return false;
    background_ = platform::smoothScaled(img, size);
    client_->update();
    return true;
}

void Form::fitMenuBar()
{
    // A window keeps its client area whatever the language: when the captions need more room
    // than the width, the entries wrap onto further rows (Qt's menu bar would hide them behind
    // an overflow arrow) and the frame grows by those rows. The rows are bars of their own laid
    // over the window's menu bar, sharing its actions, so the menu bar still holds every entry.
    QMenuBar *bar = menuBar();
    // Deleted later: a row's own action may be what brought the window here.
    if (QWidget *old = menuRows(bar)) {
        old->setObjectName(QString());
        old->hide();
        old->deleteLater();
    }
    bar->setMinimumHeight(0);
    const int width = this->width();
    if (designSized_ && bar->sizeHint().width() > width) {
        auto *rows = new QWidget(bar);
        rows->setObjectName(QStringLiteral("menuRows"));
        rows->setAutoFillBackground(true);
        auto *column = new QVBoxLayout(rows);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        QMenuBar *row = nullptr;
        for (QAction *a : bar->actions()) {
            if (row && row->actions().size() > 0) {
                row->addAction(a);
                if (row->sizeHint().width() <= width)
                    continue;
                row->removeAction(a);
            }
            row = new QMenuBar(rows);
            row->setNativeMenuBar(false);
            row->addAction(a);
            column->addWidget(row);
        }
        column->addStretch();
        const int height = column->sizeHint().height();
        rows->setGeometry(0, 0, width, height);
        bar->setMinimumHeight(height);
        rows->show();
        rows->raise();
    }
    if (!designSized_)
        return;   // the first show sizes the window
    const int rowsHeight = bar->heightForWidth(width);
    const int barHeight = std::max(bar->minimumHeight(),
                                   rowsHeight > 0 ? rowsHeight : bar->sizeHint().height());
    if (height() != client_->height() + barHeight)
        resize(width, client_->height() + barHeight);
}

void Form::Form_QueryUnload() { handBackToMain(); }

void Form::handBackToMain()
{
    if (isBusy())
        return;
    Form *main = mainForm();
    hide();
    if (main && main != this) {
        main->setEnabled(true);
        main->update();
        if (main->isVisible())
            main->activate();
    }
}

double Form::clientWidth() const
{
    return scaleMode_ == platform::ScaleMode::Pixels ? clientWidthPx()
                                                     : clientWidthPx() * platform::twipsPerPixelX();
}

double Form::clientHeight() const
{
    return scaleMode_ == platform::ScaleMode::Pixels ? clientHeightPx()
                                                     : clientHeightPx() * platform::twipsPerPixelY();
}

int Form::clientWidthPx() const { return client_->width(); }
int Form::clientHeightPx() const { return client_->height(); }

long Form::ConvertTwipsToPixels(long lngTwips, int bytDirection) const
{
    const double tpp = bytDirection == 0 ? platform::twipsPerPixelX() : platform::twipsPerPixelY();
    return static_cast<long>(platform::roundHalfEven(lngTwips / tpp));
}

void Form::placeTwips(QWidget *w, double left, double top, double width, double height)
{
    const double tx = platform::twipsPerPixelX(), ty = platform::twipsPerPixelY();
    w->setGeometry(int(std::lround(left / tx)), int(std::lround(top / ty)),
                   int(std::lround(width / tx)), int(std::lround(height / ty)));
}

int Form::twipsToPixelsY(double twips)
{
    return int(std::lround(twips / platform::twipsPerPixelY()));
}

QLabel *Form::addOpaqueLabel(const QString &objectName, double left, double top, double width,
                             double height, const QString &text)
{
    auto *label = new QLabel(text, client_);
    label->setObjectName(objectName);
    label->setAutoFillBackground(true);
    placeTwips(label, left, top, width, height);
    return label;
}

void Form::resizeEvent(QResizeEvent *e)
{
    QMainWindow::resizeEvent(e);
    // The central widget takes its new size in the layout pass that follows.
    client_->resize(centralWidget()->size());
    // Wrapped menu rows follow the width, and a narrower window wraps its menu bar.
    const QWidget *rows = menuRows(menuBar());
    if (rows ? rows->width() != width() : designSized_ && menuBar()->sizeHint().width() > width())
        fitMenuBar();
    Form_Resize();
    if (progressStrip_ && progressStrip_->isVisibleTo(this))
        placeProgressStrip();
}

void Form::showEvent(QShowEvent *e)
{
    // The menus are built after this base, so the menu bar's height is known only now; the
    // design size is the client area below it.
    if (!designSized_) {
        designSized_ = true;
        const int bar = menuBar()->heightForWidth(designClientPx_.width());
        resize(designClientPx_.width(),
               designClientPx_.height() + (bar > 0 ? bar : menuBar()->sizeHint().height()));
    }
    QMainWindow::showEvent(e);
}

void Form::changeEvent(QEvent *e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && !isMinimized())
        Form_Resize();
}

void Form::keyPressEvent(QKeyEvent *e)
{
    // Esc reaches the window from whichever control had it and left it alone.
    if (e->key() == Qt::Key_Escape && isBusy()) {
        stopCommand();
        e->accept();
        return;
    }
    QMainWindow::keyPressEvent(e);
}

void Form::closeEvent(QCloseEvent *e)
{
    if (unloading_) {
        e->accept();
        return;
    }
    // A busy window stays until its command ends; the main window stays while any window is
    // busy, since closing it unloads them all.
    if (isBusy() || (this == mainForm() && anyBusy())) {
        e->ignore();
        return;
    }
    Form_QueryUnload();
    e->accept();
    emit unloadRequested(this);
}

// ---- busy guard

bool Form::anyBusy() { return g_busyForms > 0; }

void Form::guardWhileBusy(std::initializer_list<QWidget *> controls)
{
    for (QWidget *w : controls)
        busyGuarded_.emplace_back(w);
}

Form::BusyScope::BusyScope(Form &form) : form_(form)
{
    outermost_ = form_.busyDepth_++ == 0;
    if (outermost_)
        ++g_busyForms;
    // Disabling the focused box sends the focus on; it comes back when the command ends.
    focus_ = form_.focusWidget();
    for (QAction *a : form_.menuBar()->actions()) {
        actions_.emplace_back(a, a->isEnabled());
        a->setEnabled(false);
    }
    for (const QPointer<QWidget> &w : form_.busyGuarded_) {
        if (!w)
            continue;
        // Its own setting, not the one it inherits from a disabled parent.
        controls_.emplace_back(w, !w->testAttribute(Qt::WA_ForceDisabled));
        w->setEnabled(false);
    }
    pointer_.emplace();
    if (outermost_)
        form_.showProgressStrip();
}

Form::BusyScope::~BusyScope()
{
    pointer_.reset();
    for (auto &[action, enabled] : actions_)
        if (action)
            action->setEnabled(enabled);
    for (auto &[control, enabled] : controls_)
        if (control)
            control->setEnabled(enabled);
    if (focus_ && focus_->isEnabled() && form_.focusWidget() != focus_)
        focus_->setFocus(Qt::OtherFocusReason);
    if (outermost_)
        form_.hideProgressStrip();
    if (--form_.busyDepth_ == 0)
        --g_busyForms;
}

// ---- progress and stop

void Form::stopCommand()
{
    if (isBusy())
        platform::requestStop();
}

void Form::showProgressStrip()
{
    if (!progressStrip_) {
        progressStrip_ = new QWidget(client_);
        progressStrip_->setObjectName(QStringLiteral("progressStrip"));
        progressStrip_->setAutoFillBackground(true);
        auto *row = new QHBoxLayout(progressStrip_);
        row->setContentsMargins(4, 2, 4, 2);
        progressBar_ = new QProgressBar(progressStrip_);
        progressBar_->setObjectName(QStringLiteral("progressBar"));
        progressBar_->setTextVisible(false);
        progressBar_->setFixedWidth(160);
        progressLabel_ = new QLabel(progressStrip_);
        progressLabel_->setObjectName(QStringLiteral("progressLabel"));
        // File names are shown as they are, even ones that look like markup.
        progressLabel_->setTextFormat(Qt::PlainText);
        stopButton_ = new QPushButton(progressStrip_);
        stopButton_->setObjectName(QStringLiteral("stopButton"));
        row->addWidget(progressBar_);
        row->addWidget(progressLabel_, 1);
        row->addWidget(stopButton_);
        connect(stopButton_, &QPushButton::clicked, this, [this] { stopCommand(); });
    }
    stopButton_->setText(tx("common.stop"));
    stopButton_->setEnabled(true);
    progressBar_->setRange(0, 0);
    progressLabel_->clear();
    placeProgressStrip();
    progressStrip_->show();
    progressStrip_->raise();
    previousSink_ = platform::setProgressSink(
        [this](int i, int n, const QString &name) { showProgress(i, n, name); });
}

void Form::placeProgressStrip()
{
    // Along the bottom of the client area, whatever size the window has now.
    const int height = progressStrip_->sizeHint().height();
    progressStrip_->setGeometry(0, client_->height() - height, client_->width(), height);
}

void Form::hideProgressStrip()
{
    platform::setProgressSink(std::move(previousSink_));
    previousSink_ = {};
    progressStrip_->hide();
    // The request belonged to this command; the next one starts afresh.
    platform::clearStop();
}

void Form::showProgress(int index, int count, const QString &name)
{
    // A window nobody sees (the command line drives hidden ones) need not redraw its strip for
    // every file of a long run.
    if (!isVisible())
        return;
    progressBar_->setRange(0, std::max(count, 1));
    progressBar_->setValue(std::clamp(index, 0, std::max(count, 1)));
    progressLabel_->setText(tx("common.progress").arg(QString::number(index), QString::number(count), name));
    // A stop already asked for is shown as taken.
    stopButton_->setEnabled(!platform::stopRequested());
}

} // namespace shell
