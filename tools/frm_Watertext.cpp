#include "tools/frm_Watertext.h"
#include "shell/Texts.h"
#include <QMenuBar>

frm_Watertext::frm_Watertext(QWidget *parent)
    : shell::Form(QStringLiteral("frm_Watertext"), 19920, 9555, QStringLiteral("bg/bg.jpg"), parent)
{
    mnu_exit = menuBar()->addAction(QStringLiteral("&Exit"));
    connect(mnu_exit, &QAction::triggered, this, [this] { mnu_exit_Click(); });
}

void frm_Watertext::Form_Activate()
{
    setWindowTitle(shell::tx("watertext.title"));
    mnu_exit->setText(shell::tx("watertext.mnu_exit"));
}

void frm_Watertext::mnu_exit_Click() { handBackToMain(); }
