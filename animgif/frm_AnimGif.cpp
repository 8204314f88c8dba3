#include "animgif/frm_AnimGif.h"

#include "animgif/AnimGifRules.h"
#include "animgif/FitMenu.h"
#include "platform/Settings.h"
#include "animgif/GifBuild.h"
#include "animgif/cGDIP.h"
#include "animgif/cMultiPage.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Progress.h"
#include "platform/Toolkit.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <vector>

Q_LOGGING_CATEGORY(lcAnimGif, "pixmar.animgif", QtInfoMsg)

using platform::MsgIcon;
using platform::MsgResult;
using shell::tx;

namespace {

// The window's layout, in twips.
constexpr double kClientWidth = 14415;
constexpr double kClientHeight = 9000;
constexpr double kPreviewLeft = 480, kPreviewTop = 2160, kPreviewWidth = 8895, kPreviewHeight = 6135;
constexpr double kListLeft = 9480, kListTop = 2160, kListWidth = 4455, kListHeight = 6105;
// Subtracted from the client height on resize: the list's and the preview's heights.
constexpr double kListHeightAllowance = 2440;
constexpr double kPreviewHeightAllowance = 2580;
constexpr int kDelayRole = Qt::UserRole;   // the item value: the entry's delay
const QString kAllFormatsKey = QStringLiteral("animgif/options/allFormats");

// The window tells in its message boxes; a notice during the listing comes with the normal
// pointer.
class WindowHost : public animgif::GifHost {
public:
    explicit WindowHost(std::function<void()> beforeNotice = {}) : beforeNotice_(std::move(beforeNotice)) {}
    void notice(const QString &text, const QString &title, bool isError) override
    {
        if (beforeNotice_)
            beforeNotice_();
        shell::showMessage(text, title, isError ? MsgIcon::Error : MsgIcon::Information);
    }
    void error(const QString &description) override { shell::showError(description); }
    bool continueAfter(const QString &description) override
    {
        answeredNo = shell::askContinue(description) == MsgResult::No;
        return !answeredNo;
    }
    bool answeredNo = false;

private:
    std::function<void()> beforeNotice_;
};
const QColor kGrey(0xC0, 0xC0, 0xC0);
constexpr double kUnitGap = 210;   // between the delay's unit and the note after it

} // namespace

frm_AnimGif::frm_AnimGif(QWidget *parent)
    : shell::Form(QStringLiteral("frm_AnimGif"), kClientWidth, kClientHeight,
                  QStringLiteral("bg/animbg.jpg"), parent)
{
    QWidget *c = client();
    // The texts before the first activation, which replaces them.
    Label1[0] = addOpaqueLabel(QStringLiteral("Label1_0"), 480, 720, 900, 255, QStringLiteral("Delay:"));
    Label1[4] = addOpaqueLabel(QStringLiteral("Label1_4"), 2160, 720, 270, 210, tx("animgif.lblUnit"));
    Label1[3] = addOpaqueLabel(QStringLiteral("Label1_3"), 2640, 720, 1395, 195,
                               QStringLiteral("(*transition time)"));
    Label1[2] = addOpaqueLabel(QStringLiteral("Label1_2"), 480, 1320, 900, 255, QStringLiteral("Folder"));
    Label1[1] = addOpaqueLabel(QStringLiteral("Label1_1"), 9480, 1920, 2000, 255,
                               QStringLiteral("Picture Files"));
    Label3 = addOpaqueLabel(QStringLiteral("Label3"), 480, 1845, 6375, 255,
                            tx("animgif.lblPreview", QStringLiteral("eng")));

    txtdelay = new QLineEdit(animgif::kDefaultDelay, c);
    txtdelay->setObjectName(QStringLiteral("txtdelay"));
    txtdelay->setMaxLength(animgif::kDelayMaxChars);
    placeTwips(txtdelay, 1440, 720, 645, 285);
    shell::installKeyFilter(txtdelay, shell::KeyDigitsOnly);
    txtdelay->installEventFilter(this);

    txtDirectory = new QLineEdit(c);
    txtDirectory->setObjectName(QStringLiteral("txtDirectory"));
    placeTwips(txtDirectory, 1440, 1320, 5565, 285);
    QPalette grey = txtDirectory->palette();
    grey.setColor(QPalette::Base, kGrey);
    txtDirectory->setPalette(grey);
    cmddir = new QPushButton(tx("animgif.cmddir"), c);
    cmddir->setObjectName(QStringLiteral("cmddir"));
    placeTwips(cmddir, 7200, 1320, 735, 345);

    cmdCreate = new QPushButton(QStringLiteral("Create GIF"), c);
    cmdCreate->setObjectName(QStringLiteral("cmdCreate"));
    placeTwips(cmdCreate, 9480, 1200, 1935, 495);
    Command1 = new QPushButton(QStringLiteral("Clear"), c);
    Command1->setObjectName(QStringLiteral("Command1"));
    placeTwips(Command1, 12000, 1200, 1935, 495);

    Image1 = new QLabel(c);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);   // the picture is stretched to the frame
    placeTwips(Image1, kPreviewLeft, kPreviewTop, kPreviewWidth, kPreviewHeight);
    Shape1 = new QFrame(c);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setStyleSheet(QStringLiteral("QFrame#Shape1 { border: 1px solid grey; background: transparent; }"));
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);
    placeTwips(Shape1, kPreviewLeft, kPreviewTop, kPreviewWidth, kPreviewHeight);

    lstFiles = new QListWidget(c);
    lstFiles->setObjectName(QStringLiteral("lstFiles"));
    lstFiles->setPalette(grey);
    lstFiles->setSortingEnabled(false);
    placeTwips(lstFiles, kListLeft, kListTop, kListWidth, kListHeight);
    setListVisible(false);

    mnu_fit = new animgif::FitMenu(menuBar(), this);
    mnu_options = menuBar()->addMenu(QStringLiteral("Options"));
    mnu_allFormats = mnu_options->addAction(QStringLiteral("All Picture Formats"));
    mnu_allFormats->setCheckable(true);
    mnu_allFormats->setChecked(platform::setting(kAllFormatsKey, false).toBool());
    connect(mnu_allFormats, &QAction::triggered, this,
            [](bool on) { platform::setSetting(kAllFormatsKey, on); });
    mnu_exit = menuBar()->addAction(QStringLiteral("&Exit"));
    connect(mnu_exit, &QAction::triggered, this, [this] { mnu_exit_Click(); });
    // What the listing and the build read (the delay is read for every picture listed), and
    // what would start them again or empty the list under them.
    guardWhileBusy({txtdelay, txtDirectory, cmddir, cmdCreate, Command1});
    connect(cmddir, &QPushButton::clicked, this, [this] { cmddir_Click(); });
    connect(cmdCreate, &QPushButton::clicked, this, [this] { cmdCreate_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(txtdelay, &QLineEdit::textChanged, this, [this] { txtdelay_Change(); });
    // A click previews its entry, also the entry that is already current when the preview
    // has since shown another picture (a folder listed after it); moving through the list
    // with the keys previews too.
    connect(lstFiles, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            lstFiles_Click();
    });
    connect(lstFiles, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        if (lstFiles->row(item) != previewEntry_)
            lstFiles_Click();
    });
}

frm_AnimGif::~frm_AnimGif() = default;

void frm_AnimGif::Form_Activate()
{
    // A build in progress uses the library object and the list: they stay until it ends.
    if (isBusy())
        return;
    outcome_ = {};
    // A new library object each time; the one it replaces shuts its start down.
    try {
        auto fresh = std::make_unique<cGDIP>();
        connect(fresh.get(), &cGDIP::Error, this,
                [this](qint32 s, const QString &d, const QString &c) { gdip_Error(s, d, c); });
        gdip_ = std::move(fresh);
    } catch (const platform::AppError &e) {
        gdip_.reset();
        outcome_.fail({}, e.description());
        shell::showError(e.description());
    }

    setWindowTitle(tx("animgif.title"));
    Label1[0]->setText(tx("animgif.lblDelay"));
    Label1[1]->setText(tx("animgif.lblFiles"));
    Label1[2]->setText(tx("animgif.lblDirectory"));
    Label1[3]->setText(tx("animgif.lblTransition"));
    Label1[4]->setText(tx("animgif.lblUnit"));
    Label3->setText(tx("animgif.lblPreview"));
    mnu_exit->setText(tx("animgif.mnu_exit"));
    cmdCreate->setText(tx("animgif.cmdCreate"));
    Command1->setText(tx("animgif.Command1"));
    mnu_fit->setCaptions();
    mnu_options->setTitle(tx("animgif.mnu_options"));
    mnu_allFormats->setText(tx("common.mnu_allFormats"));
    for (int i : {0, 1, 2, 3, 4})
        Label1[size_t(i)]->adjustSize();
    Label3->adjustSize();
    // The unit is wider than the "ms" it replaces: the note moves along to stay clear of it.
    const int gap = int(ConvertTwipsToPixels(long(kUnitGap), 0));
    Label1[3]->move(std::max(Label1[3]->x(), Label1[4]->geometry().right() + gap), Label1[3]->y());

    ClearFileList();
    setListVisible(false);
    // The box's digits-only style is its key filter, installed once with the box.
}

bool frm_AnimGif::Form_Resize()
{
    // The base window resizes before the controls exist.
    if (!shell::Form::Form_Resize() || !lstFiles)
        return false;
    if (lstFiles->isVisible() && Shape1->isVisible() && Image1->isVisible()) {
        const int list = twipsToPixelsY(std::max(0.0, clientHeight() - kListHeightAllowance));
        const int preview = twipsToPixelsY(std::max(0.0, clientHeight() - kPreviewHeightAllowance));
        lstFiles->resize(lstFiles->width(), list);
        Shape1->resize(Shape1->width(), preview);
        Image1->resize(Image1->width(), preview);
    }
    return true;
}

void frm_AnimGif::setListVisible(bool visible)
{
    Image1->setVisible(visible);
    Shape1->setVisible(visible);
    lstFiles->setVisible(visible);
}

void frm_AnimGif::setPreview(const platform::Picture &picture)
{
    preview_ = picture;
    previewEntry_ = -1;
    if (picture.isNull())
        Image1->clear();
    else
        Image1->setPixmap(QPixmap::fromImage(picture.image()));
}

void frm_AnimGif::ClearFileList()
{
    setPreview(platform::Picture());
    lstFiles->clear();
}

qint32 frm_AnimGif::itemDelay(int index) const
{
    return lstFiles->item(index)->data(kDelayRole).toInt();
}

void frm_AnimGif::cmddir_Click()
{
    if (isBusy())
        return;
    const QString folder = shell::BrowseForFolder(this);
    if (folder.isEmpty()) {
        outcome_.refused = true;
        shell::showInputFault(tx("common.msg.noSource"), tx("common.title.invalidFolder"));
        txtDirectory->setFocus();
        return;
    }
    setListVisible(true);
    txtDirectory->setText(folder);
    ListPictureFiles();   // appended after the entries already listed
}

void frm_AnimGif::ListPictureFiles()
{
    if (isBusy())
        return;
    if (txtdelay->text().isEmpty()) {
        outcome_.refused = true;
        shell::showMessage(tx("animgif.msg.noDelay"), tx("common.title.pixmar"));
        txtdelay->setFocus();
        return;
    }
    BusyScope busy(*this);
    platform::doEvents();
    // The preview only needs the picture at its own size: large photographs are decoded at
    // a reduced scale, which keeps listing a folder of them quick.
    const QSize previewSize = Image1->size();
    const platform::PaintSizeHint hint = [previewSize](QSize) { return previewSize; };
    WindowHost host([&busy] { busy.normalPointer(); });
    std::vector<animgif::GifFrame> frames;
    const bool whole = animgif::listFolder(
        txtDirectory->text(), animgif::listedDelay(txtdelay->text()),
        [&](const QString &path) {
            setPreview(platform::loadPicture(path, hint));
            platform::doEvents();
        },
        frames, host, outcome_,
        [this](const animgif::GifFrame &frame) {
            auto *entry = new QListWidgetItem(frame.path);
            entry->setData(kDelayRole, frame.delay);
            lstFiles->addItem(entry);
        },
        mnu_allFormats->isChecked());
    // A folder that could not be listed, or a "No": nothing is previewed. After Stop the last
    // picture listed stays in view.
    if (!whole && (!outcome_.stopped || host.answeredNo))
        setPreview(platform::Picture());
}

void frm_AnimGif::txtdelay_Change()
{
    const QString text = txtdelay->text();
    if (!text.isEmpty() && !animgif::isNumericText(text))
        txtdelay->clear();
}

void frm_AnimGif::txtdelay_LostFocus()
{
    // An empty box stays empty: listing a folder asks for a delay then.
    if (!animgif::exceedsDelayLimit(txtdelay->text()))
        return;
    outcome_.refused = true;
    shell::showMessage(tx("animgif.msg.limit"), tx("common.title.pixmar"), MsgIcon::Error);
    txtdelay->setText(animgif::kDefaultDelay);
    txtdelay->setFocus();
}

bool frm_AnimGif::eventFilter(QObject *watched, QEvent *event)
{
    // Focus going to another window (a message box, another program) is not the box being
    // left; focus moving within this window is.
    if (watched == txtdelay && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            txtdelay_LostFocus();
    }
    return shell::Form::eventFilter(watched, event);
}

void frm_AnimGif::lstFiles_Click()
{
    QListWidgetItem *entry = lstFiles->currentItem();
    if (!entry)
        return;
    try {
        setPreview(platform::loadPicture(entry->text(), [this](QSize) { return Image1->size(); }));
        previewEntry_ = lstFiles->row(entry);
    } catch (const platform::AppError &e) {
        // The picture went away or broke since it was listed: the preview shows nothing and
        // the list stays as it is.
        setPreview(platform::Picture());
        shell::showError(e.description());
    }
}

void frm_AnimGif::Command1_Click()
{
    if (isBusy())
        return;
    outcome_ = {};
    ClearFileList();
    setListVisible(false);
    txtDirectory->clear();
    txtdelay->setText(animgif::kDefaultDelay);
}

void frm_AnimGif::cmdCreate_Click()
{
    if (isBusy())
        return;
    outcome_.built = false;
    if (lstFiles->count() == 0) {
        outcome_.refused = true;
        shell::showInputFault(tx("animgif.msg.noFiles"), tx("common.title.pixmar"));
        return;
    }
    // After a successful build the list is kept but the folder box is empty: building again
    // then would write into a folder the user never chose.
    if (txtDirectory->text().isEmpty()) {
        outcome_.refused = true;
        shell::showInputFault(tx("common.msg.noSource"), tx("common.title.invalidFolder"));
        txtDirectory->setFocus();
        return;
    }
    animgif::GifBuilt built;
    {
        BusyScope busy(*this);
        std::vector<animgif::GifFrame> frames;
        for (int i = 0; i < lstFiles->count(); ++i)
            frames.push_back({lstFiles->item(i)->text(), itemDelay(i)});
        built = animgif::buildGif(frames, txtDirectory->text(), mnu_fit->box(), gdip_.get());
    }
    // A failure leaves the list and the boxes, so the user can mend the cause and build again.
    WindowHost host;
    if (!animgif::tellBuilt(built, host, outcome_))
        return;
    outcome_.built = true;
    setListVisible(false);
    txtDirectory->clear();
    txtdelay->setText(animgif::kDefaultDelay);
}

void frm_AnimGif::gdip_Error(qint32 lGdiError, const QString &sErrorDesc, const QString &sClassName)
{
    // Nothing shows here: a failed build says so itself, naming the picture that stopped it.
    qCDebug(lcAnimGif) << sClassName << lGdiError << sErrorDesc;
}

void frm_AnimGif::mnu_exit_Click() { handBackToMain(); }
