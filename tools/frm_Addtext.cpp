#include "tools/frm_Addtext.h"
#include "shell/Texts.h"
#include <QMenuBar>

frm_Addtext::frm_Addtext(QWidget *parent)
    : shell::Form(QStringLiteral("frm_Addtext"), 19920, 9555, QStringLiteral("bg/bg.jpg"), parent)
{
    mnu_exit = menuBar()->addAction(QStringLiteral("&Exit"));
    connect(mnu_exit, &QAction::triggered, this, [this] { mnu_exit_Click(); });
}

void frm_Addtext::Form_Activate()
{
    setWindowTitle(shell::tx("addtext.title"));
    mnu_exit->setText(shell::tx("addtext.mnu_exit"));
}

void frm_Addtext::mnu_exit_Click() { handBackToMain(); }
