#pragma once
#include "rename/RenameOrder.h"
#include "rename/RenamePlan.h"
#include "rename/RenameRun.h"
#include "shell/Form.h"
#include "shell/Outcome.h"
#include <QSet>
#include <array>

class QAction;
class QActionGroup;
class QMenu;
class QLabel;
class QLineEdit;
class QPushButton;
class ListBox;

// Renames every file of one folder to a new prefix, a four-digit running number and the
// rest of its old name from the first dot. The window lists, previews and reports; the run is
// planned by RenamePlan and carried out with the folder's journal (JournaledRename), which
// makes it undoable and lets a run cut short be finished or rolled back; RenameRun does the
// work, as it does for the command line.
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
    void mnu_undo_Click();
    void ListFolder();

    // The order of the Before list and of the numbers; chosen in the Order menu (remembered)
    // or by the command line (not remembered). Reorders a listed folder.
    renbulk::Order order() const { return order_; }
    void setOrder(renbulk::Order order, bool remember);
    // Puts back the last rename of `folder` (Undo Rename, and the command line's --undo).
    void undoRename(const QString &folder);
    // Lists `folder` as the folder button does, without the picker (the screenshot).
    void showFolder(const QString &folder);

    // What choosing a folder does with a rename of it that was cut short.
    using OnInterrupted = renbulk::OnInterrupted;
    OnInterrupted onInterrupted = OnInterrupted::Ask;

    // The preview: what Rename would do with the Before list and the prefix as they stand,
    // and the entries whose new names are taken outside the run.
    const renbulk::RenamePlan &previewPlan() const { return preview_; }
    const QSet<qsizetype> &previewClashes() const { return previewClashes_; }

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
    QMenu *mnu_order = nullptr;
    QAction *mnu_orderName = nullptr;
    QAction *mnu_orderTaken = nullptr;
    QAction *mnu_orderModified = nullptr;
    QAction *mnu_undo = nullptr;

    // The listed folder, always ending in a separator, and the kept part of the last name renamed.
    QString renfolder;
    QString renext;

    const RenBulkOutcome &outcome() const { return outcome_; }

    static const QString kOrderSettingKey;

private:
    // The window's side of the work: message boxes, the busy window and the two lists.
    class Host : public renbulk::RenameHost {
    public:
        explicit Host(frm_RenBulk &window, BusyScope *listingBusy = nullptr)
            : window_(window), listingBusy_(listingBusy) {}
        void notice(const QString &text, const QString &title) override;
        void error(const QString &description) override;
        void inputFault(const QString &text, const QString &title) override;
        bool ask(const QString &text, const QString &title) override;
        void whileBusy(const std::function<void()> &work) override;
        void listed(const QString &path) override;
        void listingEnded() override;
        void renameStarting() override;
        void renamed(const QString &oldPath, const QString &newPath) override;
        void renameEnded() override;

    private:
        frm_RenBulk &window_;
        BusyScope *listingBusy_;   // a notice during the listing comes with the normal pointer
    };

    void clearAll();
    void refreshPreview();
    void applyOrder();

    RenBulkOutcome outcome_;
    renbulk::Order order_ = renbulk::Order::Name;
    renbulk::RenamePlan preview_;
    QSet<qsizetype> previewClashes_;
    QString lastRenamedFolder_;   // where Undo Rename looks once the window has been cleared
};
