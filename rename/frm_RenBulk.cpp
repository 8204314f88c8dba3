#include "rename/frm_RenBulk.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Progress.h"
#include "platform/Toolkit.h"
#include "rename/ListBox.h"
#include "rename/RenamePlan.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QLabel>
#include <QLineEdit>
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
    ListFolder();
}

void frm_RenBulk::ListFolder()
{
    if (isBusy())
        return;
    BusyScope busy(*this);
    platform::doEvents();
    renfolder = platform::withSeparator(txtDirectory->text());
    platform::FolderListing listing;
    try {
        listing = platform::FolderListing(renfolder);
    } catch (const platform::AppError &e) {
        outcome_.fail(renfolder, e.description());
        shell::showError(e.description());
        return;
    }
    // The listing is read whole before the first name is shown, so an unreadable folder fails
    // above, before any name; adding a name to the list cannot fail.
    const int count = int(listing.names().size());
    int listed = 0;
    for (QString name = listing.first(); !name.isEmpty(); name = listing.next()) {
        if (listed > 0 && platform::stopRequested()) {
            // What is listed stays listed; renaming takes the Before list as it stands.
            outcome_.stopped = true;
            lstFiles1->flush();
            busy.normalPointer();
            shell::showMessage(tx("common.msg.listStopped")
                                   .arg(QString::number(listed), QString::number(count)),
                               tx("common.title.pixmar"));
            return;
        }
        platform::reportProgress(listed + 1, count, name);
        platform::doEvents();
        lstFiles1->addItem(renfolder + name);
        ++listed;
    }
    lstFiles1->flush();
    // Files whose names are not UTF-8 cannot be renamed by name: they are named here, and the
    // run that follows counts as one that left files behind.
    QStringList lines;
    for (const QString &name : listing.namesNotUtf8()) {
        lines << platform::AppError(platform::ErrorKind::NameNotUtf8, {renfolder + name}).description();
        outcome_.fail(renfolder + name, lines.back());
    }
    if (!lines.isEmpty())
        shell::showError(lines.join(shell::CRLF));
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
            shell::showInputFault(tx("renbulk.msg.nameTaken").arg(clash->wantedBy, clash->takenBy),
                               tx("renbulk.title.nameTaken"));
        } else {
            renbulk::RenameOutcome run;
            {
                BusyScope busy(*this);
                const int count = int(plan.entries.size());
                run = renbulk::executePlan(
                    plan,
                    [&](qsizetype i, const QString &newPath) {
                        renext = renbulk::keptPart(platform::fileNamePart(plan.entries[i].oldPath));
                        lstFiles2->addItem(newPath);
                        platform::reportProgress(int(i) + 1, count, platform::fileNamePart(newPath));
                        platform::doEvents();
                    },
                    [] { return platform::stopRequested(); });
                lstFiles2->flush();
            }
            outcome_.ran = true;
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
                    text += shell::CRLF + tx("renbulk.msg.notRestored");
                    for (const auto &[home, now] : run.notRestored)
                        text += shell::CRLF + home + QStringLiteral(" -> ") + now;
                    shell::showError(text);
                }
            } else if (run.failed) {
                outcome_.fail(run.failedPath, run.description);
                QString text = tx("renbulk.msg.failed").arg(run.failedPath, run.description);
                if (run.notRestored.empty()) {
                    text += shell::CRLF + tx("renbulk.msg.restored");
                } else {
                    text += shell::CRLF + tx("renbulk.msg.notRestored");
                    for (const auto &[home, now] : run.notRestored)
                        text += shell::CRLF + home + QStringLiteral(" -> ") + now;
                }
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
