#pragma once
#include "shell/Form.h"

class QAction;

class frm_AnimGif : public shell::Form {
    Q_OBJECT
public:
    explicit frm_AnimGif(QWidget *parent = nullptr);
    void Form_Activate() override;
    void mnu_exit_Click();

private:
    QAction *mnu_exit = nullptr;
};
