#include "rename/frm_RenBulk.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Progress.h"
#include "platform/Toolkit.h"
#include "platform/Settings.h"
#include "rename/JournaledRename.h"
#include "rename/ListBox.h"
#include "rename/RenameMessages.h"
#include "rename/RenamePlan.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>

using shell::tx;

namespace {

// The window's layout, in twips.
constexpr double kClientWidth = 14325;
constexpr double kClientHeight = 9000;
constexpr double kLeftColumn = 480;
constexpr double kRightColumn = 7440;
constexpr double kBoxTop = 1080;
constexpr double kBoxHeight = 315;
constexpr double kButtonTop = 1560;
constexpr double kButtonHeight = 375;
constexpr double kLabelHeight = 255;
constexpr double kListTop = 2520;
constexpr double kListWidth = 6375;
// Subtracted from the client height for the lists' height, leaving 280 twips below them.
constexpr double kListHeightAllowance = 2800;

} // namespace

const QString frm_RenBulk::kOrderSettingKey = QStringLiteral("renbulk/order");

frm_RenBulk::frm_RenBulk(QWidget *parent)
    : shell::Form(QStringLiteral("frm_RenBulk"), kClientWidth, kClientHeight,
                  QStringLiteral("bg/renbulk.jpg"), parent)
{
    QWidget *c = client();
    auto label = [this](const char *name, double left, double top, double width) {
        QLabel *l = addOpaqueLabel(QLatin1String(name), left, top, width, kLabelHeight);
        l->setMargin(2);
        return l;
    };
    Label1[2] = label("Label1_2", kLeftColumn, 780, 2000);
    Label1[0] = label("Label1_0", kRightColumn, 780, 2000);
    Label3 = label("Label3", kLeftColumn, 2220, 2000);
    Label2 = label("Label2", kRightColumn, 2220, 2000);

    txtDirectory = new QLineEdit(c);
    txtDirectory->setObjectName(QStringLiteral("txtDirectory"));
    placeTwips(txtDirectory, kLeftColumn, kBoxTop, 5445, kBoxHeight);
    cmddir = new QPushButton(c);
    cmddir->setObjectName(QStringLiteral("cmddir"));
    placeTwips(cmddir, 6000, kBoxTop - 30, 855, kButtonHeight);

    txtname = new QLineEdit(c);
    txtname->setObjectName(QStringLiteral("txtname"));
    placeTwips(txtname, kRightColumn, kBoxTop, 6405, kBoxHeight);
    shell::installKeyFilter(txtname, shell::KeyNameCharsOnly);
    cmdRen = new QPushButton(c);
    cmdRen->setObjectName(QStringLiteral("cmdRen"));
    placeTwips(cmdRen, kRightColumn, kButtonTop, 1455, kButtonHeight);
    cmdclr = new QPushButton(c);
    cmdclr->setObjectName(QStringLiteral("cmdclr"));
    placeTwips(cmdclr, kRightColumn + 1575, kButtonTop, 1455, kButtonHeight);

    const double listHeight = kClientHeight - kListHeightAllowance;
    lstFiles1 = new ListBox(c);
    lstFiles1->setObjectName(QStringLiteral("lstFiles1"));
    placeTwips(lstFiles1, kLeftColumn, kListTop, kListWidth, listHeight);
    lstFiles2 = new ListBox(c);
    lstFiles2->setObjectName(QStringLiteral("lstFiles2"));
    placeTwips(lstFiles2, kRightColumn, kListTop, kListWidth, listHeight);

    mnu_exit = menuBar()->addAction(tx("renbulk.mnu_exit"));
    connect(mnu_exit, &QAction::triggered, this, [this] { mnu_exit_Click(); });
    mnu_order = menuBar()->addMenu(tx("renbulk.mnu_order"));
    mnu_order->setObjectName(QStringLiteral("mnu_order"));
    auto *orders = new QActionGroup(this);
    auto orderEntry = [&](renbulk::Order o) {
        QAction *a = mnu_order->addAction(QString());
        a->setCheckable(true);
        orders->addAction(a);
        connect(a, &QAction::triggered, this, [this, o] { setOrder(o, true); });
        return a;
    };
    mnu_orderName = orderEntry(renbulk::Order::Name);
    mnu_orderTaken = orderEntry(renbulk::Order::Taken);
    mnu_orderModified = orderEntry(renbulk::Order::Modified);
    // A setting that names no order (edited by hand, say) keeps the listing's order.
    order_ = renbulk::orderFromWord(platform::setting(kOrderSettingKey).toString()).value_or(renbulk::Order::Name);
    mnu_orderName->setChecked(order_ == renbulk::Order::Name);
    mnu_orderTaken->setChecked(order_ == renbulk::Order::Taken);
    mnu_orderModified->setChecked(order_ == renbulk::Order::Modified);
    mnu_undo = menuBar()->addAction(tx("renbulk.mnu_undo"));
    mnu_undo->setObjectName(QStringLiteral("mnu_undo"));
    connect(mnu_undo, &QAction::triggered, this, [this] { mnu_undo_Click(); });
    // The preview follows every change of the prefix, typed or pasted.
    connect(txtname, &QLineEdit::textChanged, this, [this] { refreshPreview(); });
    // What the listing and the renaming read, and what would start them again.
    guardWhileBusy({txtDirectory, cmddir, txtname, cmdRen, cmdclr});
    connect(cmddir, &QPushButton::clicked, this, [this] { cmddir_Click(); });
    connect(cmdRen, &QPushButton::clicked, this, [this] { cmdRen_Click(); });
    connect(cmdclr, &QPushButton::clicked, this, [this] { cmdclr_Click(); });
}

void frm_RenBulk::Form_Activate()
{
    setWindowTitle(tx("renbulk.title"));
    mnu_exit->setText(tx("renbulk.mnu_exit"));
    cmddir->setText(tx("renbulk.cmddir"));
    cmdRen->setText(tx("renbulk.cmdRen"));
    cmdclr->setText(tx("renbulk.cmdclr"));
    Label1[0]->setText(tx("renbulk.lblPrefix"));
    Label1[2]->setText(tx("renbulk.lblDirectory"));
    Label3->setText(tx("renbulk.lblBefore"));
    Label2->setText(tx("renbulk.lblAfter"));
    mnu_order->setTitle(tx("renbulk.mnu_order"));
    mnu_orderName->setText(tx("renbulk.mnu_orderName"));
    mnu_orderTaken->setText(tx("renbulk.mnu_orderTaken"));
    mnu_orderModified->setText(tx("renbulk.mnu_orderModified"));
    mnu_undo->setText(tx("renbulk.mnu_undo"));
    for (QLabel *l : {Label1[0], Label1[2], Label2, Label3})
        l->adjustSize();
    lstFiles1->setVisible(false);
    lstFiles2->setVisible(false);
}

bool frm_RenBulk::Form_Resize()
{
    // The base window resizes before the lists exist.
    if (!shell::Form::Form_Resize() || !lstFiles1)
        return false;
    const int heightPx = twipsToPixelsY(std::max(0.0, clientHeight() - kListHeightAllowance));
    for (ListBox *list : {lstFiles1, lstFiles2})
        list->resize(list->width(), heightPx);
    return true;
}

void frm_RenBulk::cmddir_Click()
{
    if (isBusy())
        return;
    outcome_ = {};
    lstFiles1->clear();
    lstFiles2->clear();
    const QString folder = shell::BrowseForFolder(this);
    if (folder.isEmpty()) {
        outcome_.refused = true;
        shell::showInputFault(tx("common.msg.noSource"), tx("common.title.invalidFolder"));
        txtDirectory->setFocus();
        return;
    }
    lstFiles1->setVisible(true);
    txtDirectory->setText(folder);
    settleInterrupted(folder);
    ListFolder();
}

void frm_RenBulk::showFolder(const QString &folder)
{
    lstFiles1->clear();
    lstFiles2->clear();
    lstFiles1->setVisible(true);
    txtDirectory->setText(folder);
    ListFolder();
}

void frm_RenBulk::ListFolder()
{
    if (isBusy())
        return;
    {
        BusyScope busy(*this);
        platform::doEvents();
        renfolder = platform::withSeparator(txtDirectory->text());
        QStringList names;
        try {
            // Every plain file, names that are not UTF-8 too: the rename carries their bytes.
            names = platform::listPlainFilesExact(renfolder);
        } catch (const platform::AppError &e) {
            outcome_.fail(renfolder, e.description());
            shell::showError(e.description());
            return;
        }
        // The listing is read whole before the first name is shown, so an unreadable folder
        // fails above, before any name; adding a name to the list cannot fail.
        const int count = int(names.size());
        int listed = 0;
        for (const QString &name : std::as_const(names)) {
            if (listed > 0 && platform::stopRequested()) {
                // What is listed stays listed; renaming takes the Before list as it stands.
                outcome_.stopped = true;
                break;
            }
            platform::reportProgress(listed + 1, count, platform::shownPath(name));
            platform::doEvents();
            lstFiles1->addItem(renfolder + name);
            ++listed;
        }
        lstFiles1->flush();
        if (outcome_.stopped) {
            busy.normalPointer();
            shell::showMessage(tx("common.msg.listStopped").arg(QString::number(listed), QString::number(count)),
                               tx("common.title.pixmar"));
        }
    }
    applyOrder();
    refreshPreview();
}

void frm_RenBulk::applyOrder()
{
    // The listing is in name order already.
    if (order_ == renbulk::Order::Name || lstFiles1->count() < 2 || isBusy())
        return;
    BusyScope busy(*this);
    const QStringList ordered = renbulk::orderPaths(lstFiles1->items(), order_, [](int i, int n, const QString &p) {
        platform::reportProgress(i, n, platform::shownPath(platform::fileNamePart(p)));
        platform::doEvents();
    });
    lstFiles1->setItems(ordered);
}

void frm_RenBulk::setOrder(renbulk::Order order, bool remember)
{
    if (isBusy())
        return;
    if (remember)
        platform::setSetting(kOrderSettingKey, renbulk::orderWord(order));
    mnu_orderName->setChecked(order == renbulk::Order::Name);
    mnu_orderTaken->setChecked(order == renbulk::Order::Taken);
    mnu_orderModified->setChecked(order == renbulk::Order::Modified);
    if (order == order_)
        return;
    order_ = order;
    if (order_ == renbulk::Order::Name && lstFiles1->count() > 1) {
        QStringList byName = lstFiles1->items();
        platform::sortForListing(byName);
        lstFiles1->setItems(byName);
    }
    applyOrder();
    refreshPreview();
}

void frm_RenBulk::refreshPreview()
{
    if (isBusy())
        return;
    const QStringList paths = lstFiles1->items();
    preview_ = {};
    previewClashes_.clear();
    // Nothing to show until there are files and a prefix; a prefix Rename would refuse shows
    // no names either.
    if (paths.isEmpty() || txtname->text().isEmpty()
        || !renbulk::prefixIsSafe(renbulk::effectivePrefix(txtname->text()))) {
        lstFiles2->clear();
        lstFiles2->setVisible(false);
        return;
    }
    preview_ = renbulk::planRename(paths, txtname->text());
    QStringList shown;
    shown.reserve(qsizetype(preview_.entries.size()));
    for (const renbulk::RenameEntry &e : preview_.entries)
        shown << e.newPath;
    for (qsizetype i : renbulk::findClashes(preview_)) {
        previewClashes_.insert(i);
        shown[i] += tx("renbulk.preview.taken");
    }
    lstFiles2->setItems(shown, previewClashes_);
    lstFiles1->setVisible(true);
    lstFiles2->setVisible(true);
}

void frm_RenBulk::cmdRen_Click()
{
    if (isBusy())
        return;
    outcome_.ran = false;
    outcome_.renamed = 0;
    outcome_.limitReached = false;
    lstFiles2->setVisible(true);
    if (!txtDirectory->text().endsWith(QLatin1Char('/')))
        renfolder = txtDirectory->text() + QLatin1Char('/');

    // The run takes its files from the Before list: each keeps the folder it was listed in,
    // whatever the folder box says now.
    const QStringList paths = lstFiles1->items();
    qsizetype renamed = 0;
    if (!paths.isEmpty()) {
        if (!renbulk::prefixIsSafe(renbulk::effectivePrefix(txtname->text()))) {
            outcome_.refused = true;
            shell::showInputFault(tx("renbulk.msg.badPrefix"), tx("renbulk.title.badPrefix"));
            txtname->setFocus();
            return;
        }
        const renbulk::RenamePlan plan = renbulk::planRename(paths, txtname->text());
        if (const auto clash = renbulk::findClash(plan)) {
            // Refused before anything moved; the report of 0 files still follows.
            outcome_.refused = true;
            shell::showInputFault(tx("renbulk.msg.nameTaken").arg(platform::shownPath(clash->wantedBy),
                                                                   platform::shownPath(clash->takenBy)),
                               tx("renbulk.title.nameTaken"));
        } else {
            // The folder as the user named it, without the separator the paths carry.
            QString folder = platform::folderPart(plan.entries.front().oldPath);
            if (folder.size() > 1)
                folder.chop(1);
            renbulk::FolderJournal journal(folder);
            if (!mayRename(journal, folder))
                return;
            // The preview gives way to the names as they are reached.
            lstFiles2->clear();
            renbulk::RenameOutcome run;
            {
                BusyScope busy(*this);
                const int count = int(plan.entries.size());
                run = renbulk::executeJournaled(
                    plan, journal,
                    [&](qsizetype i, const QString &newPath) {
                        renext = renbulk::keptPart(platform::fileNamePart(plan.entries[i].oldPath));
                        lstFiles2->addItem(newPath);
                        platform::reportProgress(int(i) + 1, count,
                                                 platform::shownPath(platform::fileNamePart(newPath)));
                        platform::doEvents();
                    },
                    [] { return platform::stopRequested(); });
                lstFiles2->flush();
            }
            if (!run.journalError.isEmpty()) {
                outcome_.refused = true;
                shell::showInputFault(tx("renbulk.msg.journalNotWritten").arg(run.journalError),
                                      tx("renbulk.title.journal"));
                return;
            }
            outcome_.ran = true;
            lastRenamedFolder_ = folder;
            if (run.stopped) {
                // Stopped as a failure stops: every name put back, the report of 0 follows.
                outcome_.stopped = true;
                QString text = tx("renbulk.msg.stopped")
                                   .arg(QString::number(run.stoppedAfter),
                                        QString::number(plan.entries.size()));
                if (run.notRestored.empty()) {
                    shell::showMessage(text + shell::CRLF + tx("renbulk.msg.restored"),
                                       tx("common.title.pixmar"));
                } else {
                    text += shell::CRLF + tx("renbulk.msg.notRestored") + renbulk::notRestoredLines(run.notRestored);
                    shell::showError(text);
                }
            } else if (run.failed) {
                outcome_.fail(run.failedPath, run.description);
                QString text = tx("renbulk.msg.failed").arg(platform::shownPath(run.failedPath), run.description);
                if (run.notRestored.empty())
                    text += shell::CRLF + tx("renbulk.msg.restored");
                else
                    text += shell::CRLF + tx("renbulk.msg.notRestored") + renbulk::notRestoredLines(run.notRestored);
                shell::showError(text);
            } else if (plan.limitReached) {
                outcome_.limitReached = true;
                shell::showMessage(tx("renbulk.msg.limit"), tx("common.title.pixmar"));
            }
            renamed = run.renamed;
        }
    } else {
        outcome_.ran = true;   // nothing listed: the report of 0 files is the whole run
    }
    outcome_.renamed = renamed;
    shell::showMessage(QString::number(renamed) + tx("renbulk.report"), tx("common.title.pixmar"));
    clearAll();
}

void frm_RenBulk::cmdclr_Click()
{
    if (isBusy())
        return;
    outcome_ = {};
    clearAll();
}

void frm_RenBulk::clearAll()
{
    lstFiles1->clear();
    lstFiles2->clear();
    lstFiles1->setVisible(false);
    lstFiles2->setVisible(false);
    txtDirectory->clear();
    txtname->clear();
}

void frm_RenBulk::mnu_exit_Click() { handBackToMain(); }
