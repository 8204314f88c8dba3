#include "rename/frm_RenBulk.h"
#include "shell/Texts.h"
#include <QMenuBar>

frm_RenBulk::frm_RenBulk(QWidget *parent)
    : shell::Form(QStringLiteral("frm_RenBulk"), 14325, 9000, QStringLiteral("bg/renbulk.jpg"), parent)
{
    mnu_exit = menuBar()->addAction(QStringLiteral("&Exit"));
    connect(mnu_exit, &QAction::triggered, this, [this] { mnu_exit_Click(); });
}

void frm_RenBulk::Form_Activate()
{
    setWindowTitle(shell::tx("renbulk.title"));
    mnu_exit->setText(shell::tx("renbulk.mnu_exit"));
}

void frm_RenBulk::mnu_exit_Click() { handBackToMain(); }
