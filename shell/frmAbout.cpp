#include "shell/frmAbout.h"

#include "platform/Files.h"
#include "platform/Toolkit.h"
#include "shell/Texts.h"

#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

namespace {
constexpr double kSeparatorTops[] = {2370, 2490};
}

frmAbout::frmAbout(QWidget *parent)
    : shell::Form(QStringLiteral("frmAbout"), 6840, 4245, QString(), parent)
{
    QWidget *c = client();
    c->setAutoFillBackground(true);
    picIcon = new QLabel(c);
    picIcon->setPixmap(QPixmap(platform::installPath(QStringLiteral("pixmar.png"))));
    picIcon->setScaledContents(true);
    placeTwips(picIcon, 240, 240, 540, 540);

    auto label = [c](double l, double t, double w, double h) {
        auto *lbl = new QLabel(c);
        lbl->setWordWrap(true);
        lbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        placeTwips(lbl, l, t, w, h);
        return lbl;
    };
    lblTitle = label(1050, 240, 3885, 480);
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = label(1050, 780, 5500, 300);
    lblDescription = label(1050, 1125, 5500, 1170);
    lblDisclaimer = label(255, 2625, 4170, 1350);
    QFont small = lblDisclaimer->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    lblDisclaimer->setFont(small);

    // Two etched rules, apart, between the description and the notice below it.
    for (double top : {kSeparatorTops[0], kSeparatorTops[1]}) {
        auto *line = new QFrame(c);
        line->setObjectName(QStringLiteral("separator"));
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        placeTwips(line, 105, top, 6600, 30);
    }

    cmdOK = new QPushButton(QStringLiteral("OK"), c);
    placeTwips(cmdOK, 4845, 2625, 1845, 375);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), c);
    placeTwips(cmdSysInfo, 4860, 3075, 1830, 375);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
}

void frmAbout::Form_Activate()
{
    setWindowTitle(shell::tx("about.title"));
    lblTitle->setText(shell::tx("about.title"));
    lblDescription->setText(shell::tx("about.description"));
    lblVersion->setText(shell::tx("about.version"));
    lblDisclaimer->setText(shell::tx("about.disclaimer"));
}

void frmAbout::cmdOK_Click() { handBackToMain(); }
void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

QStringList frmAbout::sysInfoCandidates()
{
    return {QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor")};
}

void frmAbout::StartSysInfo()
{
    // Linux has no registry entry for a system information tool: look for a known one on PATH.
    for (const QString &name : sysInfoCandidates()) {
        const QString exe = QStandardPaths::findExecutable(name);
        if (!exe.isEmpty() && QProcess::startDetached(exe, {}))
            return;
    }
    platform::toolkit().messageBox(shell::tx("about.sysinfoUnavailable"), shell::tx("about.title"),
                                   platform::MsgIcon::Information, platform::MsgButtons::OK);
}
