#pragma once
#include "shell/Form.h"
#include "shell/Outcome.h"
#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class ListBox;

// What the window's listing and its last Rename came to since a folder was last chosen or the
// window cleared (the run empties the lists itself; this record stays until then).
struct RenBulkOutcome : shell::Outcome {
    bool ran = false;            // the last Rename went through its checks and reported
    qsizetype renamed = 0;       // files under their new names after it
    bool limitReached = false;   // the listing held more files than a run renames
};

// Renames every file of one folder to a new prefix, a four-digit running number and the
// rest of its old name from the first dot. The window lists and reports; the run itself is
// planned and carried out by RenamePlan.
class frm_RenBulk : public shell::Form {
    Q_OBJECT
public:
    explicit frm_RenBulk(QWidget *parent = nullptr);

    void Form_Activate() override;
    bool Form_Resize() override;
    void cmddir_Click();
    void cmdRen_Click();
    void cmdclr_Click();
    void mnu_exit_Click();
    void ListFolder();

    // Controls, named as the window has always named them.
    QLineEdit *txtDirectory = nullptr;
    QPushButton *cmddir = nullptr;
    QLineEdit *txtname = nullptr;
    ListBox *lstFiles1 = nullptr;   // Before
    ListBox *lstFiles2 = nullptr;   // After
    QPushButton *cmdRen = nullptr;
    QPushButton *cmdclr = nullptr;
    std::array<QLabel *, 3> Label1{};   // a control array: index 0 over the prefix, 2 over the folder
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QAction *mnu_exit = nullptr;

    // The listed folder, always ending in a separator, and the kept part of the last name renamed.
    QString renfolder;
    QString renext;

    const RenBulkOutcome &outcome() const { return outcome_; }

private:
    void clearAll();

    RenBulkOutcome outcome_;
};
