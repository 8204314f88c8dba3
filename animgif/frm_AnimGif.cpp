#include "animgif/frm_AnimGif.h"
#include "shell/Texts.h"
#include <QMenuBar>

frm_AnimGif::frm_AnimGif(QWidget *parent)
    : shell::Form(QStringLiteral("frm_AnimGif"), 14415, 9000, QStringLiteral("bg/animbg.jpg"), parent)
{
    mnu_exit = menuBar()->addAction(QStringLiteral("&Exit"));
    connect(mnu_exit, &QAction::triggered, this, [this] { mnu_exit_Click(); });
}

void frm_AnimGif::Form_Activate()
{
    setWindowTitle(shell::tx("animgif.title"));
    mnu_exit->setText(shell::tx("animgif.mnu_exit"));
}

void frm_AnimGif::mnu_exit_Click() { handBackToMain(); }
