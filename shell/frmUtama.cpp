#include "shell/frmUtama.h"

#include "animgif/frm_AnimGif.h"
#include "platform/Files.h"
#include "platform/Toolkit.h"
#include "rename/frm_RenBulk.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"
#include "shell/frmAbout.h"
#include "tools/frm_Addtext.h"
#include "tools/frm_Pusing.h"
#include "tools/frm_WaterLogo.h"
#include "tools/frm_Watertext.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>

namespace {

constexpr double kClientWidth = 15135, kClientHeight = 9525;
constexpr double kFlagWidth = 450, kFlagHeight = 270, kFlagTop = 9090;
constexpr double kFlagBmLeft = 165, kFlagEngLeft = 885;
// The flags sit this far above the bottom edge of the client area after every resize.
constexpr double kFlagsAboveBottom = 430;

class ClickLabel : public QLabel {
public:
    ClickLabel(QWidget *parent, std::function<void()> onClick)
        : QLabel(parent), onClick_(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            onClick_();
    }

private:
    std::function<void()> onClick_;
};

QLabel *makeFlag(QWidget *parent, const QString &file, const QString &tip, double left,
                 std::function<void()> onClick)
{
    auto *flag = new ClickLabel(parent, std::move(onClick));
    flag->setObjectName(file);
    flag->setToolTip(tip);
    flag->setScaledContents(true);
    flag->setPixmap(QPixmap(platform::installPath(QStringLiteral("flags/") + file)));
    shell::Form::placeTwips(flag, left, kFlagTop, kFlagWidth, kFlagHeight);
    return flag;
}

} // namespace

frmUtama::frmUtama(QWidget *parent)
    : shell::Form(QStringLiteral("frmUtama"), kClientWidth, kClientHeight,
                  QStringLiteral("bg/main2i.jpg"), parent)
{
    shell::setMainForm(this);
    QMenuBar *bar = menuBar();
    auto command = [&](const char *design, void (frmUtama::*slot)()) {
        QAction *a = bar->addAction(QString::fromUtf8(design));
        connect(a, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
        return a;
    };
    mnu_addtext = command("Insert &Text on Picture", &frmUtama::mnu_addtext_Click);
    mnu_txtwatermark = command("Add &Text Watermark", &frmUtama::mnu_txtwatermark_Click);
    mnu_logowatermark = command("Add &LOGO Watermark", &frmUtama::mnu_logowatermark_Click);
    mnu_rotate = command("&Rotate Picture", &frmUtama::mnu_rotate_Click);
    mnu_gif = command("&Animated GIF", &frmUtama::mnu_gif_Click);
    mnu_ren = command("Re&name File in Bulk", &frmUtama::mnu_ren_Click);
    mnu_about = command("&Pixmar", &frmUtama::mnu_about_Click);
    mnu_help = bar->addMenu(QStringLiteral("&Help"));
    mnu_man = mnu_help->addAction(QStringLiteral("&Manual"));
    connect(mnu_man, &QAction::triggered, this, [this] { mnu_man_Click(); });
    mnu_contact = mnu_help->addAction(QStringLiteral("&Contact Us"));
    connect(mnu_contact, &QAction::triggered, this, [this] { mnu_contact_Click(); });
    mnu_exit = command("&Exit", &frmUtama::mnu_exit_Click);

    PicBM = makeFlag(client(), QStringLiteral("malaysia.png"), shell::tx("main.tip.bm"),
                     kFlagBmLeft, [this] { PicBM_Click(); });
    PicEng = makeFlag(client(), QStringLiteral("uk.png"), shell::tx("main.tip.eng"), kFlagEngLeft,
                      [this] { PicEng_Click(); });
}

frmUtama::~frmUtama()
{
    if (!exiting_)
        unloadAll();
    if (shell::mainForm() == this)
        shell::setMainForm(nullptr);
}

QMenuBar *frmUtama::menus() const { return menuBar(); }

void frmUtama::Form_Activate()
{
    // Each flag selects its own language: the Malaysian flag Malay, the British flag English.
    shell::setVarbahasa(langflag.value_or(false) ? QStringLiteral("bm") : QStringLiteral("eng"));
    setWindowTitle(shell::tx("main.title"));
    mnu_addtext->setText(shell::tx("main.mnu_addtext"));
    mnu_txtwatermark->setText(shell::tx("main.mnu_txtwatermark"));
    mnu_logowatermark->setText(shell::tx("main.mnu_logowatermark"));
    mnu_rotate->setText(shell::tx("main.mnu_rotate"));
    mnu_gif->setText(shell::tx("main.mnu_gif"));
    mnu_ren->setText(shell::tx("main.mnu_ren"));
    mnu_about->setText(shell::tx("main.mnu_about"));
    mnu_help->setTitle(shell::tx("main.mnu_help"));
    mnu_man->setText(shell::tx("main.mnu_man"));
    mnu_contact->setText(shell::tx("main.mnu_contact"));
    mnu_exit->setText(shell::tx("main.mnu_exit"));
    fitMenuBar();
}

bool frmUtama::Form_Resize()
{
    if (!shell::Form::Form_Resize())
        return false;
    const double top = clientHeightPx() * platform::twipsPerPixelY() - kFlagsAboveBottom;
    placeTwips(PicBM, kFlagBmLeft, top, kFlagWidth, kFlagHeight);
    placeTwips(PicEng, kFlagEngLeft, top, kFlagWidth, kFlagHeight);
    return true;
}

void frmUtama::PicBM_Click()
{
    langflag = true;
    Form_Activate();
}

void frmUtama::PicEng_Click()
{
    langflag = false;
    Form_Activate();
}

void frmUtama::openTool(shell::Form *tool)
{
    setEnabled(false);
    tool->activate();
}

frm_Addtext *frmUtama::addtext() { return addtext_.get(this); }
frm_Watertext *frmUtama::watertext() { return watertext_.get(this); }
frm_WaterLogo *frmUtama::waterlogo() { return waterlogo_.get(this); }
frm_Pusing *frmUtama::pusing() { return pusing_.get(this); }
frm_AnimGif *frmUtama::animgif() { return animgif_.get(this); }
frm_RenBulk *frmUtama::renbulk() { return renbulk_.get(this); }
frmAbout *frmUtama::about() { return about_.get(this); }

QStringList frmUtama::formNames()
{
    return {QStringLiteral("frmUtama"),     QStringLiteral("frm_Addtext"),
            QStringLiteral("frm_Watertext"), QStringLiteral("frm_WaterLogo"),
            QStringLiteral("frm_Pusing"),    QStringLiteral("frm_AnimGif"),
            QStringLiteral("frm_RenBulk"),   QStringLiteral("frmAbout")};
}

shell::Form *frmUtama::formByName(const QString &name)
{
    if (name == QLatin1String("frmUtama")) return this;
    if (name == QLatin1String("frm_Addtext")) return addtext();
    if (name == QLatin1String("frm_Watertext")) return watertext();
    if (name == QLatin1String("frm_WaterLogo")) return waterlogo();
    if (name == QLatin1String("frm_Pusing")) return pusing();
    if (name == QLatin1String("frm_AnimGif")) return animgif();
    if (name == QLatin1String("frm_RenBulk")) return renbulk();
    if (name == QLatin1String("frmAbout")) return about();
    return nullptr;
}

void frmUtama::mnu_addtext_Click() { openTool(addtext()); }
void frmUtama::mnu_txtwatermark_Click() { openTool(watertext()); }
void frmUtama::mnu_logowatermark_Click() { openTool(waterlogo()); }
void frmUtama::mnu_rotate_Click() { openTool(pusing()); }
void frmUtama::mnu_gif_Click() { openTool(animgif()); }
void frmUtama::mnu_ren_Click() { openTool(renbulk()); }
void frmUtama::mnu_about_Click() { openTool(about()); }

void frmUtama::mnu_man_Click()
{
    const QString path = platform::installPath(shell::tx("main.manual"));
    // A missing manual stays silent; one that exists but that nothing on the desktop can
    // show would otherwise give no sign at all.
    if (shell::HasFile(path) && !platform::toolkit().openDocument(path))
        shell::showError(shell::tx("main.msg.noManualHandler") + shell::CRLF + path);
}

void frmUtama::mnu_contact_Click()
{
    platform::toolkit().messageBox(shell::tx("main.contact") + shell::CRLF +
                                       shell::tx("main.contactAddress"),
                                   shell::tx("common.title.pixmar"), platform::MsgIcon::Information,
                                   platform::MsgButtons::OK);
}

void frmUtama::unloadAll()
{
    unloadOrder_.clear();
    auto note = [this](bool loaded, const char *name) {
        if (loaded)
            unloadOrder_ << QString::fromLatin1(name);
    };
    note(animgif_.unload(), "frm_AnimGif");
    note(pusing_.unload(), "frm_Pusing");
    note(renbulk_.unload(), "frm_RenBulk");
    note(about_.unload(), "frmAbout");
    note(addtext_.unload(), "frm_Addtext");
    note(watertext_.unload(), "frm_Watertext");
    note(waterlogo_.unload(), "frm_WaterLogo");
    unloadOrder_ << QStringLiteral("frmUtama");
}

void frmUtama::mnu_exit_Click()
{
    if (exiting_)
        return;
    exiting_ = true;
    unloadAll();
    markUnloading();
    close();
    QApplication::quit();
}

void frmUtama::Form_QueryUnload() { mnu_exit_Click(); }

bool frmUtama::toolWindowOpen() const
{
    const shell::Form *tools[] = {addtext_.existing(), watertext_.existing(),
                                  waterlogo_.existing(), pusing_.existing(),
                                  animgif_.existing(),   renbulk_.existing(),
                                  about_.existing()};
    for (const shell::Form *f : tools) {
        if (f && f->isVisible())
            return true;
    }
    return false;
}

void frmUtama::closeEvent(QCloseEvent *e)
{
    // The window manager still offers to close a disabled window; the tool's work would end
    // with it, so the frame is refused like every other command while a tool is open.
    if (!isUnloading() && toolWindowOpen()) {
        e->ignore();
        return;
    }
    shell::Form::closeEvent(e);
}
