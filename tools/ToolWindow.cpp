#include "tools/ToolWindow.h"

#include "platform/Errors.h"
#include "platform/SurfaceView.h"
#include "platform/Toolkit.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include <algorithm>
#include <new>

Q_LOGGING_CATEGORY(lcToolWindow, "pixmar.tools.window", QtWarningMsg)

namespace tools {
namespace {

using platform::ScaleMode;

constexpr double kLabelWidth = 11655, kLabelHeight = 375;
constexpr double kLabelFontSize = 12;

// A picture's HIMETRIC extent in a surface unit.
double himetricTo(double himetric, ScaleMode u, bool horizontal)
{
    if (u == ScaleMode::Pixels)
        return platform::himetricToPixels(himetric, horizontal);
    return himetric * platform::kTwipsPerInchD / platform::kHimetricPerInch;
}

} // namespace

// Busy pointer and disabled menus for the time the load step or a run lets events run; the
// window refuses to close meanwhile. Everything is restored on every way out.
class ToolWindow::BusyScope {
public:
    explicit BusyScope(ToolWindow &w) : w_(w)
    {
        w_.busy_ = true;
        for (QAction *a : w_.menuBar()->actions()) {
            menus_.push_back({a, a->isEnabled()});
            a->setEnabled(false);
        }
        pointer_.emplace();
    }
    ~BusyScope()
    {
        pointer_.reset();
        for (auto &[action, enabled] : menus_)
            if (action)
                action->setEnabled(enabled);
        w_.busy_ = false;
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;
    void normalPointer() { pointer_.reset(); }

private:
    ToolWindow &w_;
    std::vector<std::pair<QPointer<QAction>, bool>> menus_;
    std::optional<platform::BusyPointer> pointer_;
};

ToolWindow::ToolWindow(const QString &name, ToolSpec spec, double clientWidthTwips,
                       double clientHeightTwips, const QString &backgroundFile, QWidget *parent)
    : shell::Form(name, clientWidthTwips, clientHeightTwips, backgroundFile, parent),
      spec_(std::move(spec))
{
    // Without a border the saved image is the whole fitted picture.
    Picture1.setBorder(false);
    Picture1.setVisible(false);
    Picture1View = new platform::SurfaceView(Picture1, client());
    Picture1View->setObjectName(QStringLiteral("Picture1"));
    Picture1View->onMouseMove = [this](double x, double y) { Picture1_MouseMove(x, y); };
    Picture1View->onClick = [this] {
        if (!busy_)
            Picture1_Click();
    };
    client()->setMouseTracking(true);
    client()->installEventFilter(this);
    lblfile = addLabel("lblfile", 4680, 1920);
    lbltarget = addLabel("lbltarget", 4680, 2400);
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

void ToolWindow::setCommonCaptions(QMenu *fileMenu)
{
    if (fileMenu)
        fileMenu->setTitle(toolText("mnu_files"));
    mnu_single->setText(toolText("mnu_single"));
    mnu_bulk->setText(toolText("mnu_bulk"));
    mnu_folder->setText(toolText("mnu_folder"));
    mnu_exit->setText(toolText("mnu_exit"));
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

QString ToolWindow::toolText(const char *item) const
{
    const QByteArray key = QByteArray(spec_.textKey) + '.' + item;
    return shell::tx(key.constData());
}

// ---- events

void ToolWindow::Form_Activate()
{
    Picture1.setVisible(false);
    Picture1View->raise();
    lblfile->clear();
    lbltarget->clear();
}

void ToolWindow::closeEvent(QCloseEvent *e)
{
    if (busy_) {
        e->ignore();
        return;
    }
    shell::Form::closeEvent(e);
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
    lastX = x;
    lastY = y;
}

void ToolWindow::clickAtPixels(double x, double y)
{
    const ScaleMode u = clickUnits();
    Picture1_MouseMove(Picture1.fromPx(x, u, true), Picture1.fromPx(y, u, false));
    Picture1_Click();
}

void ToolWindow::mnu_single_Click()
{
    if (busy_)
        return;
    Picture1.clearPicture();
    Picture1.setVisible(false);
    varsingle = true;
    varbulk = false;
    if (auto chosen = shell::ShowOpen(this, spec_.openFilter, shell::tx("common.openTitle")))
        CommonDialog.FileName = *chosen;
    varfile = CommonDialog.FileName;
    lblfile->setText(shell::tx(spec_.singleLabelKey) + varfile);
}

void ToolWindow::mnu_bulk_Click()
{
    if (busy_)
        return;
    varsingle = false;
    varbulk = true;
    Picture1.clearPicture();
    Picture1.setVisible(false);
    const QString chosen = shell::BrowseForFolder(this);
    if (!chosen.isEmpty())
        varsrcdir = chosen;
    varsrcdir = shell::applyDriveRootRule(varsrcdir);
    lblfile->setText(shell::tx("common.label.bulk") + shell::folderForLabel(varsrcdir));
}

void ToolWindow::mnu_folder_Click()
{
    if (busy_)
        return;
    const QString chosen = shell::BrowseForFolder(this);
    if (!chosen.isEmpty())
        vartgtdir = shell::applyDriveRootRule(chosen);
    lbltarget->setText(shell::tx(spec_.targetLabelKey) + shell::folderForLabel(vartgtdir));
}

void ToolWindow::mnu_exit_Click()
{
    if (busy_)
        return;
    handBackToMain();
}

// ---- input checks

std::vector<InputCheck> ToolWindow::standardChecks(const char *noSourceKey, const char *noTargetKey,
                                                   const char *fileTitleKey,
                                                   const char *folderTitleKey) const
{
    return {
        {[this] { return varsingle.value_or(false) && varfile.isEmpty(); }, "common.msg.noPicture",
         fileTitleKey},
        {[this] { return !varsingle.value_or(false) && varbulk.value_or(false) && varsrcdir.isEmpty(); },
         noSourceKey, folderTitleKey},
        {[this] { return vartgtdir.isEmpty(); }, noTargetKey, folderTitleKey},
    };
}

bool ToolWindow::inputCheck(const std::vector<InputCheck> &checks)
{
    for (const InputCheck &c : checks) {
        if (c.fails()) {
            shell::showMessage(shell::tx(c.textKey), shell::tx(c.titleKey));
            return false;
        }
    }
    if (!varsingle.value_or(false) && varbulk.value_or(false))
        varfile = varsrcdir;
    return true;
}

// ---- surfaces

void ToolWindow::sizePreviewToClient()
{
    Picture1.setOuterSize(clientWidth(), clientHeight(), scaleMode());
}

void ToolWindow::prepareLoadSurfaces()
{
    Picture1.setVisible(true);
    sizePreviewToClient();
}

void ToolWindow::prepareEntrySurfaces()
{
    setScaleMode(ScaleMode::Twips);
    Picture1.setScaleMode(ScaleMode::Twips);
    Picture1.setVisible(true);
    sizePreviewToClient();
}

void ToolWindow::showFirstPicture()
{
    Picture1.setAutoSize(true);
    Picture1.setAutoRedraw(true);
    loadEntryPicture(Picture1);
    fitIntoSurface(Picture1, picsrc);
    platform::doEvents();
}

void ToolWindow::loadEntryPicture(const platform::Surface &surface)
{
    const ScaleMode u = surface.scaleMode();
    const double innerW = surface.innerWidth(), innerH = surface.innerHeight();
    // The decoder only needs the pixels the fit will paint: the same arithmetic as the fit,
    // from the file's own size.
    auto paintSize = [&surface, u, innerW, innerH](QSize original) {
        const platform::Picture probe(QImage(), original);
        const FitResult r = fitInto(himetricTo(probe.widthHimetric(), u, true),
                                    himetricTo(probe.heightHimetric(), u, false), innerW, innerH);
        return QSize(int(std::lround(surface.toPx(r.width, u, true))),
                     int(std::lround(surface.toPx(r.height, u, false))));
    };
    picsrc = platform::loadPicture(curdir + curfile, paintSize);
}

FitResult ToolWindow::fitIntoSurface(platform::Surface &surface, const platform::Picture &picture,
                                     bool place)
{
    // The painted image becomes the picture, so it has to go into the persistent image.
    surface.setAutoRedraw(true);
    surface.clearPicture();
    surface.cls();
    const ScaleMode u = surface.scaleMode();
    const FitResult r = fitInto(himetricTo(picture.widthHimetric(), u, true),
                                himetricTo(picture.heightHimetric(), u, false),
                                surface.innerWidth(), surface.innerHeight());
    surface.setOuterSize(r.width, r.height, u);
    if (surface.innerWidthPx() == 0 || surface.innerHeightPx() == 0)
        throw platform::AppError(platform::err::InvalidPicture, QStringLiteral("FitPicture"),
                                 spec_.tooThinText.arg(QDir::toNativeSeparators(curdir + curfile),
                                                       QString::number(picture.pixelSize().width()),
                                                       QString::number(picture.pixelSize().height())));
    if (place) {
        // Centred on the screen as the design places it, but kept inside the client area so
        // that a wide picture on a wide screen can still be clicked everywhere.
        const double widthTwips = surface.outerWidth(ScaleMode::Twips);
        double left = double(platform::roundHalfEven(
            (platform::toolkit().screen().widthTwips - widthTwips) / 2));
        const double clientTwips = clientWidthPx() * platform::twipsPerPixelX();
        left = std::max(0.0, std::min(left, clientTwips - widthTwips));
        surface.setLeft(left, ScaleMode::Twips);
    }
    surface.paintPicture(picture, 0, 0, r.width, r.height);
    surface.setPicture(surface.image());
    return r;
}

// ---- files

QString ToolWindow::inTarget(const QString &name) const
{
    return platform::withSeparator(vartgtdir) + name;
}

QString ToolWindow::outputPath() const { return inTarget(spec_.outputPrefix + basename + curext); }

void ToolWindow::writeIntermediate(const QImage &image)
{
    if (!intermediate_)
        intermediate_ = std::make_unique<IntermediateFile>(
            vartgtdir, spec_.intermediatePrefix + basename, spec_.intermediateSuffix);
    tmppath = intermediate_->path();
    intermediate_->write(image);
}

void ToolWindow::convertOutput(bool showOutput)
{
    const QString output = outputPath();
    convertBitmapFile(tmppath, output, formatCodeFor(curext));
    Picture1.clearPicture();
    if (showOutput) {
        try {
            Picture1.setPicture(platform::loadPicture(output));
        } catch (const platform::AppError &e) {
            // The file is written; only showing it failed.
            qCWarning(lcToolWindow) << "cannot show" << output << e.description();
        }
    }
    if (intermediate_)
        intermediate_->remove();
}

// ---- load step

void ToolWindow::loadStep()
{
    if (busy_)
        return;
    if (!inputCheck(loadChecks()))
        return;
    BusyScope scope(*this);
    prepareLoadSurfaces();
    platform::doEvents();
    try {
        listing_.clear();
        if (!varsingle.value_or(false) && varbulk.value_or(false)) {
            curdir = platform::withSeparator(varsrcdir);
            listing_ = platform::FolderListing(curdir);
            curfile = listing_.first();
        } else if (varsingle.value_or(false)) {
            curdir = platform::folderPart(varfile);
            curfile = shell::HasFile(varfile) ? platform::fileNamePart(varfile) : QString();
        } else {
            curdir.clear();
            curfile.clear();
        }
        if (curfile.isEmpty()) {
            scope.normalPointer();
            shell::showMessage(shell::tx("common.msg.noImageInFolder"), shell::tx("common.title.pixmar"));
            return;
        }
        invalidlist.clear();
        invalidflag = false;
        invalidcount = 0;
        const EntryName parts = splitEntryName(curfile);
        curext = parts.curext;
        basename = parts.basename;
        if (!isAcceptedExtension(curext, spec_.accepted)) {
            noteInvalid(invalidlist, invalidcount, invalidflag, curfile);
            return;
        }
        showFirstPicture();
    } catch (const platform::AppError &e) {
        Picture1.clearPicture();
        scope.normalPointer();
        shell::showError(e.description());
    } catch (const std::bad_alloc &) {
        Picture1.clearPicture();
        scope.normalPointer();
        shell::showError(QStringLiteral("Out of memory"));
    }
}

// ---- batch run

void ToolWindow::processListedEntry()
{
    try {
        processEntry();
        intermediate_.reset();
    } catch (...) {
        // Whatever the entry left behind of its own goes with it.
        intermediate_.reset();
        throw;
    }
}

QString ToolWindow::completionReportText() const
{
    ReportTexts t;
    t.firstStart = toolText("report.first");
    t.firstEnd = shell::tx(spec_.reportDoneKey);
    t.header = toolText("report.header");
    t.dashLine = toolText("report.dashes");
    t.total = shell::tx("common.report.total");
    return completionReport(t, N, invalidlist, invalidcount);
}

void ToolWindow::batchRun()
{
    if (busy_)
        return;
    lastRun_ = RunOutcome::None;
    if (!inputCheck(runChecks())) {
        lastRun_ = RunOutcome::InputFault;
        return;
    }
    N = 0;
    BusyScope scope(*this);
    platform::doEvents();
    invalidlist.clear();
    invalidflag = false;
    invalidcount = 0;
    const bool single = varsingle.value_or(false);

    while (!curfile.isEmpty()) {
        prepareEntrySurfaces();
        const EntryName parts = splitEntryName(curfile);
        curext = parts.curext;
        basename = parts.basename;
        if (single)
            platform::toolkit().progress(1, 1, curfile);
        else
            platform::toolkit().progress(int(listing_.position()) + 1, int(listing_.names().size()),
                                         curfile);
        bool counted = true;
        if (!isAcceptedExtension(curext, spec_.accepted)) {
            noteInvalid(invalidlist, invalidcount, invalidflag, curfile);
        } else {
            QString failure;
            try {
                processListedEntry();
            } catch (const platform::AppError &e) {
                failure = e.description();
            } catch (const std::bad_alloc &) {
                failure = QStringLiteral("Out of memory: %1").arg(curdir + curfile);
            }
            if (!failure.isEmpty()) {
                counted = false;
                if (shell::askContinue(failure) != platform::MsgResult::Yes) {
                    Picture1.clearPicture();
                    lastRun_ = RunOutcome::Stopped;
                    return;
                }
            }
        }
        if (counted)
            ++N;
        if (single)
            break;
        curfile = listing_.next();
    }

    Picture1.setVisible(false);
    scope.normalPointer();
    if (invalidcount == 0)
        invalidlist = shell::tx("common.none");
    shell::showMessage(completionReportText(), toolText("report.title"));
    Picture1.clearPicture();
    varfile.clear();
    varsrcdir.clear();
    clearMainInput();
    // The listing is used up: a Save without a new Load processes nothing.
    curfile.clear();
    listing_.clear();
    lastRun_ = RunOutcome::Reported;
}

} // namespace tools
