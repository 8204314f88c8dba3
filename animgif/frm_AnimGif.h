#pragma once
#include "animgif/GifBuild.h"
#include "platform/Picture.h"
#include "shell/Form.h"
#include "shell/Outcome.h"

#include <array>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class cGDIP;
namespace animgif {
class FitMenu;
}


// Builds one animated GIF from the pictures of one or more folders: each folder's ".bmp" and
// ".jpg" files are appended to the list with the delay in the box at that moment, and
// "Create GIF" writes "Pixmar-anim.gif" into the last folder chosen. The frames come in list
// order, each with its own delay, and the animation loops for ever.
class frm_AnimGif : public shell::Form {
    Q_OBJECT
public:
    explicit frm_AnimGif(QWidget *parent = nullptr);
    ~frm_AnimGif() override;

    void Form_Activate() override;
    bool Form_Resize() override;
    void cmddir_Click();
    void txtdelay_Change();
    void txtdelay_LostFocus();
    void lstFiles_Click();
    void Command1_Click();
    void cmdCreate_Click();
    void mnu_exit_Click();
    void ListPictureFiles();
    void ClearFileList();

    // The delay an entry was listed with (its item value), in hundredths of a second.
    qint32 itemDelay(int index) const;
    // The picture the preview shows (null when none).
    const platform::Picture &previewPicture() const { return preview_; }
    cGDIP *gdip() const { return gdip_.get(); }
    const AnimGifOutcome &outcome() const { return outcome_; }

    // Controls, named as the window has always named them.
    QLineEdit *txtdelay = nullptr;
    QPushButton *cmddir = nullptr;
    QLineEdit *txtDirectory = nullptr;
    QListWidget *lstFiles = nullptr;
    QLabel *Image1 = nullptr;
    QFrame *Shape1 = nullptr;
    std::array<QLabel *, 5> Label1{};   // a control array: delay, list, folder, note, "ms"
    QLabel *Label3 = nullptr;
    QPushButton *cmdCreate = nullptr;
    QPushButton *Command1 = nullptr;
    QAction *mnu_exit = nullptr;
    // Frame size: keep the pictures' sizes or fit them within a box (remembered).
    animgif::FitMenu *mnu_fit = nullptr;
    // "Options": "All Picture Formats", remembered.
    QMenu *mnu_options = nullptr;
    QAction *mnu_allFormats = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void gdip_Error(qint32 lGdiError, const QString &sErrorDesc, const QString &sClassName);
    void setPreview(const platform::Picture &picture);
    void setListVisible(bool visible);

    std::unique_ptr<cGDIP> gdip_;
    platform::Picture preview_;
    // The entry the preview shows; -1 when it shows a picture being listed, or nothing.
    int previewEntry_ = -1;
    AnimGifOutcome outcome_;
};
