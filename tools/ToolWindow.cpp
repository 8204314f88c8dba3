#include "tools/ToolWindow.h"

#include "platform/Errors.h"
#include "platform/SurfaceView.h"
#include "platform/Toolkit.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

#include <algorithm>
#include <new>

namespace tools {
namespace {

constexpr double kLabelWidth = 11655, kLabelHeight = 375;
constexpr double kLabelFontSize = 12;

} // namespace

ToolWindow::ToolWindow(const QString &name, std::unique_ptr<ToolRecipe> recipe,
                       double clientWidthTwips, double clientHeightTwips,
                       const QString &backgroundFile, QWidget *parent)
    : shell::Form(name, clientWidthTwips, clientHeightTwips, backgroundFile, parent),
      CommonDialog(run_.CommonDialog), Picture1(run_.Picture1), recipe_(std::move(recipe)), run_(*recipe_, *this)
{
    Picture1View = new platform::SurfaceView(Picture1, client());
    Picture1View->setObjectName(QStringLiteral("Picture1"));
    Picture1View->onMouseMove = [this](double x, double y) { Picture1_MouseMove(x, y); };
    Picture1View->onClick = [this] { Picture1_Click(); };
    client()->setMouseTracking(true);
    client()->installEventFilter(this);
    lblfile = addLabel("lblfile", 4680, 1920);
    lbltarget = addLabel("lbltarget", 4680, 2400);
    if (recipe_->placesMarks()) {
        // Below the client area, which the preview fills: shown while a folder is stepped
        // through, the window growing by its height so the preview keeps its size.
        QStatusBar *bar = statusBar();
        bar->setSizeGripEnabled(false);
        lblstep = new QLabel(bar);
        lblstep->setObjectName(QStringLiteral("lblstep"));
        lblstep->setTextFormat(Qt::PlainText);
        auto button = [this, bar](const char *name, int delta, Qt::Key key) {
            auto *b = new QPushButton(bar);
            b->setObjectName(QLatin1String(name));
            b->setFocusPolicy(Qt::NoFocus);
            connect(b, &QPushButton::clicked, this, [this, delta] { stepTo(run_.shownIndex() + delta); });
            auto *keys = new QShortcut(QKeySequence(key), this);
            connect(keys, &QShortcut::activated, this, [this, delta] {
                if (statusBar()->isVisible())
                    stepTo(run_.shownIndex() + delta);
            });
            return b;
        };
        cmdprevious = button("cmdprevious", -1, Qt::Key_PageUp);
        cmdnext = button("cmdnext", 1, Qt::Key_PageDown);
        bar->addWidget(cmdprevious);
        bar->addWidget(cmdnext);
        bar->addWidget(lblstep, 1);
        bar->hide();
    }
}

ToolWindow::~ToolWindow()
{
    // The view refers to Picture1, which is gone before the base window deletes its children.
    delete Picture1View;
}

// ---- menus and labels

QMenu *ToolWindow::addFileSelectionMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&File Selection"));
    mnu_single = addCommand(QStringLiteral("&Single"), [this] { mnu_single_Click(); }, menu);
    mnu_bulk = addCommand(QStringLiteral("&Bulk"), [this] { mnu_bulk_Click(); }, menu);
    return menu;
}

void ToolWindow::addTargetMenu(const QString &designCaption)
{
    mnu_folder = addCommand(designCaption, [this] { mnu_folder_Click(); });
}

QAction *ToolWindow::addCommand(const QString &designCaption, std::function<void()> handler,
                                QMenu *under)
{
    QAction *a = under ? under->addAction(designCaption) : menuBar()->addAction(designCaption);
    connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    return a;
}

void ToolWindow::addExitMenu()
{
    mnu_exit = addCommand(QStringLiteral("&Exit"), [this] { mnu_exit_Click(); });
}

void ToolWindow::addOptionsMenu(bool offersLossless)
{
    mnu_options = new OptionsMenu(menuBar(), run_.output, recipe_->spec().textKey, offersLossless, this,
                                  recipe_->placesMarks());
    lbloptions = addLabel("lbloptions", 4680, 2880);
    connect(mnu_options, &OptionsMenu::changed, this, [this] { lbloptions->setText(mnu_options->summary()); });
}

void ToolWindow::setCommonCaptions(QMenu *fileMenu)
{
    if (fileMenu)
        fileMenu->setTitle(toolText("mnu_files"));
    mnu_single->setText(toolText("mnu_single"));
    mnu_bulk->setText(toolText("mnu_bulk"));
    mnu_folder->setText(toolText("mnu_folder"));
    mnu_exit->setText(toolText("mnu_exit"));
    if (mnu_options) {
        mnu_options->setCaptions();
        lbloptions->setText(mnu_options->summary());
    }
}

QLabel *ToolWindow::addLabel(const char *objectName, double left, double top)
{
    auto *label = new QLabel(client());
    label->setObjectName(QLatin1String(objectName));
    // Labels show paths and names as they are, even ones that look like markup.
    label->setTextFormat(Qt::PlainText);
    QFont f(QStringLiteral("Times New Roman"));
    f.setPointSizeF(kLabelFontSize);
    label->setFont(f);
    // Legible on the window's dark background picture.
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    placeTwips(label, left, top, kLabelWidth, kLabelHeight);
    return label;
}

// ---- events

void ToolWindow::Form_Activate()
{
    Picture1.setVisible(false);
    Picture1View->raise();
    lblfile->clear();
    lbltarget->clear();
}

bool ToolWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == client() && event->type() == QEvent::MouseMove)
        Form_MouseMove();
    return shell::Form::eventFilter(watched, event);
}

QString ToolWindow::readoutLabel() const { return toolText("readout"); }

void ToolWindow::Picture1_MouseMove(double x, double y)
{
    setWindowTitle(shell::pointerReadout(readoutLabel(), x, y));
    run_.pointerAt(x, y);
}

void ToolWindow::Picture1_Click()
{
    if (isBusy())
        return;
    run_.clickAt(run_.lastX, run_.lastY);
    // A click on an anchored placement chose its anchor: the menu shows and keeps it.
    if (mnu_options && run_.output.placement.mode == PlacementMode::Anchored)
        mnu_options->changedElsewhere();
}

void ToolWindow::clickAtPixels(double x, double y)
{
    const platform::ScaleMode u = run_.recipe().clickUnits();
    Picture1_MouseMove(Picture1.fromPx(x, u, true), Picture1.fromPx(y, u, false));
    Picture1_Click();
}

void ToolWindow::mnu_single_Click()
{
    if (isBusy())
        return;
    const QString filter = run_.output.allFormats ? platform::formats::openFilterForAll() : run_.spec().openFilter;
    if (auto chosen = shell::ShowOpen(this, filter, shell::tx("common.openTitle")))
        CommonDialog.FileName = *chosen;
    run_.chooseSingle(CommonDialog.FileName);
    lblfile->setText(toolText("label.single") + run_.varfile);
}

void ToolWindow::mnu_bulk_Click()
{
    if (isBusy())
        return;
    // The mode changes before the picker opens: a cancelled picker still leaves Bulk chosen.
    run_.chooseBulk(QString());
    run_.chooseBulk(shell::BrowseForFolder(this));
    lblfile->setText(shell::tx("common.label.bulk") + shell::folderForLabel(run_.varsrcdir));
}

void ToolWindow::mnu_folder_Click()
{
    if (isBusy())
        return;
    run_.chooseTarget(shell::BrowseForFolder(this));
    lbltarget->setText(toolText("label.target") + shell::folderForLabel(run_.vartgtdir));
}

void ToolWindow::mnu_exit_Click()
{
    if (isBusy())
        return;
    handBackToMain();
}

// ---- the font of the text tools

void ToolWindow::resetFont(double size)
{
    CommonDialog.font.name = QStringLiteral("Times New Roman");
    CommonDialog.font.size = size;
}

QString ToolWindow::fontLabelText() const
{
    return toolText("label.font") + CommonDialog.font.name + toolText("label.size") +
           QString::number(CommonDialog.font.size);
}

bool ToolWindow::chooseFont()
{
    if (isBusy())
        return false;
    platform::toolkit().showFont(CommonDialog.font, this);
    return true;
}

// ---- commands

bool ToolWindow::guarded(const std::function<void()> &command)
{
    if (isBusy())
        return false;
    BusyScope scope(*this);
    // The run shows the busy pointer itself, and takes it back before its report.
    scope.normalPointer();
    command();
    return true;
}

void ToolWindow::loadStep()
{
    guarded([this] { run_.load(); });
    // A first picture the run can still work (one too large for the preview alone) is no
    // reason to hold Save back; a folder without any picture the tool takes is.
    nothingShown_ = run_.isBulk() && recipe_->placesMarks() && run_.outcome().end == RunOutcome::End::Loaded
                 && !run_.previewShown() && run_.acceptedNames().isEmpty();
    showStep();
    if (nothingShown_)
        inputFault(shell::tx("common.msg.noPictureShown"), shell::tx("common.title.pixmar"));
}

void ToolWindow::batchRun()
{
    if (nothingShown_ && !isBusy()) {
        inputFault(shell::tx("common.msg.showPictureFirst"), shell::tx("common.title.pixmar"));
        return;
    }
    guarded([this] { run_.save(); });
    showStep();
}

void ToolWindow::loadFolder(const QString &folder)
{
    run_.chooseBulk(QString());
    run_.chooseBulk(folder);
    lblfile->setText(shell::tx("common.label.bulk") + shell::folderForLabel(run_.varsrcdir));
    loadStep();
}

void ToolWindow::stepTo(int index)
{
    guarded([this, index] {
        try {
            run_.showAccepted(index);
        } catch (const platform::AppError &e) {
            error(e.description());
        } catch (const std::bad_alloc &) {
            error(platform::AppError(platform::ErrorKind::OutOfMemory, {run_.curdir}).description());
        }
    });
    showStep();
}

void ToolWindow::showStep()
{
    if (!lblstep)
        return;
    const QStringList names = run_.acceptedNames();
    const int i = run_.shownIndex();
    const bool shown = run_.isBulk() && run_.previewShown() && i >= 0 && i < names.size()
                    && !run_.curfile.isEmpty();
    QStatusBar *bar = statusBar();
    if (bar->isVisibleTo(this) != shown) {
        const int h = bar->sizeHint().height();
        bar->setVisible(shown);
        resize(width(), height() + (shown ? h : -h));
    }
    if (!shown)
        return;
    cmdprevious->setText(shell::tx("common.btn.previous"));
    cmdnext->setText(shell::tx("common.btn.next"));
    cmdprevious->setEnabled(i > 0);
    cmdnext->setEnabled(i + 1 < names.size());
    QString text = shell::tx("common.label.step").arg(QString::number(i + 1), QString::number(names.size()), names[i]);
    if (run_.shownMarkFit() == MarkFit::Cut)
        text += shell::tx("common.label.stepCut");
    else if (run_.shownMarkFit() == MarkFit::Outside)
        text += shell::tx("common.label.stepOutside");
    lblstep->setText(text);
}

void ToolWindow::clearEntryLabels()
{
    lbltarget->clear();
    lblfile->clear();
}

} // namespace tools
