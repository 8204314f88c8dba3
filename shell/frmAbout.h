#pragma once
#include "shell/Form.h"

class QLabel;
class QPushButton;

class frmAbout : public shell::Form {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
    void Form_Activate() override;
    void cmdOK_Click();
    void cmdSysInfo_Click();
    // Starts the desktop's system information program; shows the "unavailable" message
    // when there is none or it cannot be started.
    void StartSysInfo();
    // The system information programs looked for on PATH, in order of preference.
    static QStringList sysInfoCandidates();

    QLabel *picIcon = nullptr, *lblTitle = nullptr, *lblVersion = nullptr,
           *lblDescription = nullptr, *lblDisclaimer = nullptr;
    QPushButton *cmdOK = nullptr, *cmdSysInfo = nullptr;
};
