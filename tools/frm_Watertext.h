#pragma once
#include "shell/Form.h"

class QAction;

class frm_Watertext : public shell::Form {
    Q_OBJECT
public:
    explicit frm_Watertext(QWidget *parent = nullptr);
    void Form_Activate() override;
    void mnu_exit_Click();

private:
    QAction *mnu_exit = nullptr;
};
