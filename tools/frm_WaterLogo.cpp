#include "tools/frm_WaterLogo.h"
#include "shell/Texts.h"
#include <QMenuBar>

frm_WaterLogo::frm_WaterLogo(QWidget *parent)
    : shell::Form(QStringLiteral("frm_WaterLogo"), 19920, 9555, QStringLiteral("bg/bg.jpg"), parent)
{
    mnu_exit = menuBar()->addAction(QStringLiteral("&Exit"));
    connect(mnu_exit, &QAction::triggered, this, [this] { mnu_exit_Click(); });
}

void frm_WaterLogo::Form_Activate()
{
    setWindowTitle(shell::tx("waterlogo.title"));
    mnu_exit->setText(shell::tx("waterlogo.mnu_exit"));
}

void frm_WaterLogo::mnu_exit_Click() { handBackToMain(); }
