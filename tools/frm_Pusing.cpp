#include "tools/frm_Pusing.h"
#include "shell/Texts.h"
#include <QMenuBar>

frm_Pusing::frm_Pusing(QWidget *parent)
    : shell::Form(QStringLiteral("frm_Pusing"), 19920, 9555, QStringLiteral("bg/rotate.jpg"), parent)
{
    mnu_exit = menuBar()->addAction(QStringLiteral("&Exit"));
    connect(mnu_exit, &QAction::triggered, this, [this] { mnu_exit_Click(); });
}

void frm_Pusing::Form_Activate()
{
    setWindowTitle(shell::tx("pusing.title"));
    mnu_exit->setText(shell::tx("pusing.mnu_exit"));
}

void frm_Pusing::mnu_exit_Click() { handBackToMain(); }
