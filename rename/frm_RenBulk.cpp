#include "rename/frm_RenBulk.h"

#include "platform/Files.h"
#include "platform/Toolkit.h"
#include "platform/Settings.h"
#include "rename/ListBox.h"
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
    {
        Host host(*this);
        renbulk::settleInterrupted(folder, onInterrupted, host, outcome_);
    }
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
        renfolder = platform::withSeparator(txtDirectory->text());
        Host host(*this, &busy);
        if (!renbulk::listFolder(renfolder, host, outcome_))
            return;
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
    lstFiles1->setItems(renbulk::orderListing(lstFiles1->items(), order_));
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
    lstFiles2->setVisible(true);
    if (!txtDirectory->text().endsWith(QLatin1Char('/')))
        renfolder = txtDirectory->text() + QLatin1Char('/');

    // The run takes its files from the Before list: each keeps the folder it was listed in,
    // whatever the folder box says now.
    Host host(*this);
    const renbulk::RenameRun run = renbulk::renameListed(lstFiles1->items(), txtname->text(), host, outcome_);
    if (!run.folder.isEmpty())
        lastRenamedFolder_ = run.folder;
    if (run.end == renbulk::RenameRun::BadPrefix)
        txtname->setFocus();
    else if (run.end == renbulk::RenameRun::Reported)
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

void frm_RenBulk::Host::notice(const QString &text, const QString &title)
{
    if (listingBusy_)
        listingBusy_->normalPointer();
    shell::showMessage(text, title);
}

void frm_RenBulk::Host::error(const QString &description) { shell::showError(description); }

void frm_RenBulk::Host::inputFault(const QString &text, const QString &title) { shell::showInputFault(text, title); }

bool frm_RenBulk::Host::ask(const QString &text, const QString &title)
{
    return platform::toolkit().messageBox(text, title, platform::MsgIcon::Question, platform::MsgButtons::YesNo)
           == platform::MsgResult::Yes;
}

void frm_RenBulk::Host::whileBusy(const std::function<void()> &work)
{
    BusyScope busy(window_);
    work();
}

void frm_RenBulk::Host::listed(const QString &path) { window_.lstFiles1->addItem(path); }

void frm_RenBulk::Host::listingEnded() { window_.lstFiles1->flush(); }

// The preview gives way to the names as they are reached.
void frm_RenBulk::Host::renameStarting() { window_.lstFiles2->clear(); }

void frm_RenBulk::Host::renamed(const QString &oldPath, const QString &newPath)
{
    window_.renext = renbulk::keptPart(platform::fileNamePart(oldPath));
    window_.lstFiles2->addItem(newPath);
}

void frm_RenBulk::Host::renameEnded() { window_.lstFiles2->flush(); }
