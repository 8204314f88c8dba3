#pragma once
#include "shell/Form.h"

#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class frmAbout;
class frm_Addtext;
class frm_AnimGif;
class frm_Pusing;
class frm_RenBulk;
class frm_WaterLogo;
class frm_Watertext;

// A window the main window creates on first use and destroys when it is unloaded, so that a
// window closed through its frame starts from its initial state when opened again.
template <class T> class FormSlot {
public:
    T *get(QObject *owner)
    {
        if (!form_) {
            form_ = new T();
            QObject::connect(form_, &shell::Form::unloadRequested, owner,
                             [p = form_](shell::Form *) { p->deleteLater(); });
        }
        return form_;
    }
    T *existing() const { return form_; }
    // Returns whether a window was loaded.
    bool unload()
    {
        if (!form_)
            return false;
        T *f = form_;
        form_ = nullptr;
        f->markUnloading();
        f->close();
        delete f;
        return true;
    }

private:
    QPointer<T> form_;
};

class frmUtama : public shell::Form {
    Q_OBJECT
public:
    explicit frmUtama(QWidget *parent = nullptr);
    ~frmUtama() override;

    // The language chosen with the flags: unset or false gives "eng", true gives "bm".
    std::optional<bool> langflag;

    void Form_Activate() override;
    bool Form_Resize() override;
    void Form_QueryUnload() override;
    void PicBM_Click();
    void PicEng_Click();
    void mnu_addtext_Click();
    void mnu_txtwatermark_Click();
    void mnu_logowatermark_Click();
    void mnu_rotate_Click();
    void mnu_gif_Click();
    void mnu_ren_Click();
    void mnu_about_Click();
    void mnu_man_Click();
    void mnu_contact_Click();
    void mnu_exit_Click();

    // The tool windows (created on first use).
    frm_Addtext *addtext();
    frm_Watertext *watertext();
    frm_WaterLogo *waterlogo();
    frm_Pusing *pusing();
    frm_AnimGif *animgif();
    frm_RenBulk *renbulk();
    frmAbout *about();
    // Finds a window by its name (frm_Addtext, frmAbout, ...); nullptr for an unknown name.
    shell::Form *formByName(const QString &name);
    static QStringList formNames();

    // The windows unloaded by the last Exit, in order (the main window last).
    const QStringList &unloadOrder() const { return unloadOrder_; }
    QMenuBar *menus() const;
    QLabel *PicBM = nullptr;
    QLabel *PicEng = nullptr;
    QAction *mnu_addtext = nullptr, *mnu_txtwatermark = nullptr, *mnu_logowatermark = nullptr,
            *mnu_rotate = nullptr, *mnu_gif = nullptr, *mnu_ren = nullptr, *mnu_about = nullptr,
            *mnu_man = nullptr, *mnu_contact = nullptr, *mnu_exit = nullptr;
    QMenu *mnu_help = nullptr;

    // Whether a window opened from the menu bar is still shown (the main window is disabled).
    bool toolWindowOpen() const;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void openTool(shell::Form *tool);
    void unloadAll();

    FormSlot<frm_Addtext> addtext_;
    FormSlot<frm_Watertext> watertext_;
    FormSlot<frm_WaterLogo> waterlogo_;
    FormSlot<frm_Pusing> pusing_;
    FormSlot<frm_AnimGif> animgif_;
    FormSlot<frm_RenBulk> renbulk_;
    FormSlot<frmAbout> about_;
    QStringList unloadOrder_;
    bool exiting_ = false;
};
