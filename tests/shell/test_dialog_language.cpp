// Qt's own dialogs follow the interface language: the desktop toolkit's file, folder and font
// dialogs, input box and message boxes show Malay after the Malay flag and English after the
// British one, and every text Qt asks for in them has a Malay translation.
#include "platform/Toolkit.h"
#include "platform/Translations.h"
#include "shell/Texts.h"
#include "shell/frmUtama.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QTranslator>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs `act` on the modal dialog once it shows, then closes it.
void whenDialogShows(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w)
            return;
        poll->stop();
        poll->deleteLater();
        act(w);
        if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
            d->reject();
    });
    poll->start(10);
}

QStringList buttonTexts(QWidget *dialog)
{
    QStringList out;
    for (QDialogButtonBox *box : dialog->findChildren<QDialogButtonBox *>())
        for (QAbstractButton *b : box->buttons())
            out << b->text();
    out.sort();
    return out;
}

QStringList labelTexts(QWidget *dialog)
{
    QStringList out;
    for (QLabel *l : dialog->findChildren<QLabel *>())
        if (!l->text().isEmpty())
            out << l->text();
    return out;
}

// Notes every text Qt looks up while installed (it answers nothing, so the lookup goes on
// to the translators installed before it).
class Recorder : public QTranslator {
public:
    struct Lookup {
        QString context, source, disambiguation;
        bool operator==(const Lookup &) const = default;
    };
    mutable QList<Lookup> lookups;
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *disambiguation,
                      int) const override
    {
        Lookup l{QString::fromUtf8(context), QString::fromUtf8(source),
                 QString::fromUtf8(disambiguation ? disambiguation : "")};
        if (!lookups.contains(l))
            lookups << l;
        return {};
    }
};

struct DialogLanguage : ::testing::Test {
    testsupport::ScriptedFixture fx;   // the windows' own boxes; the dialogs below are Qt's
    frmUtama main;
    platform::QtToolkit qt;
    DialogLanguage() { main.activate(); }
    ~DialogLanguage() override { main.PicEng_Click(); }

    // Shows each dialog of the desktop toolkit once; `look` sees each as it shows.
    void showEveryDialog(const std::function<void(const char *, QWidget *)> &look)
    {
        whenDialogShows([&](QWidget *w) { look("open", w); });
        qt.showOpen("Pictures|*.jpg", "t", nullptr, QDir::tempPath());
        whenDialogShows([&](QWidget *w) { look("folder", w); });
        qt.browseForFolder(nullptr, QDir::tempPath());
        platform::FontSpec font{"DejaVu Sans", 12, false, false};
        whenDialogShows([&](QWidget *w) { look("font", w); });
        qt.showFont(font, nullptr);
        whenDialogShows([&](QWidget *w) { look("input", w); });
        qt.inputBox("p", "t");
        whenDialogShows([&](QWidget *w) { look("yesno", w); });
        qt.messageBox("x", "t", platform::MsgIcon::Error, platform::MsgButtons::YesNo);
        whenDialogShows([&](QWidget *w) { look("ok", w); });
        qt.messageBox("x", "t", platform::MsgIcon::Information, platform::MsgButtons::OK);
    }
};

} // namespace

TEST_F(DialogLanguage, DialogsSpeakMalayAfterTheMalayFlagAndEnglishAfterTheBritishOne)
{
    EXPECT_FALSE(platform::dialogsInMalay());
    main.PicBM_Click();
    ASSERT_TRUE(platform::dialogsInMalay());
    QMap<QString, QStringList> buttons, labels;
    QString fontTitle;
    showEveryDialog([&](const char *name, QWidget *w) {
        buttons[name] = buttonTexts(w);
        labels[name] = labelTexts(w);
        if (QString(name) == "font")
            fontTitle = w->windowTitle();
    });
    EXPECT_EQ(buttons["open"], QStringList({"&Buka", "Batal"}));
    EXPECT_TRUE(labels["open"].contains("Lihat dalam:"));
    EXPECT_TRUE(labels["open"].contains("&Nama fail:"));
    EXPECT_TRUE(labels["open"].contains("Jenis fail:"));
    EXPECT_EQ(buttons["folder"], QStringList({"&Pilih", "Batal"}));
    EXPECT_TRUE(labels["folder"].contains("Direktori:"));
    EXPECT_EQ(fontTitle, "Pilih Fon");
    EXPECT_TRUE(labels["font"].contains("&Saiz"));
    EXPECT_EQ(buttons["font"], QStringList({"Batal", "OK"}));
    EXPECT_EQ(buttons["input"], QStringList({"Batal", "OK"}));
    EXPECT_EQ(buttons["yesno"], QStringList({"&Tidak", "&Ya"}));
    EXPECT_EQ(buttons["ok"], QStringList({"OK"}));

    // In Malay too the font dialog opens on the style it is given: OK keeps bold without italic.
    platform::FontSpec bold{"DejaVu Sans", 12, true, false};
    QString style;
    whenDialogShows([&](QWidget *w) {
        style = static_cast<QFontDialog *>(w)->currentFont().styleName();
        static_cast<QDialog *>(w)->accept();
    });
    ASSERT_TRUE(qt.showFont(bold, nullptr));
    EXPECT_TRUE(bold.bold);
    EXPECT_FALSE(bold.italic) << style.toStdString();

    main.PicEng_Click();
    EXPECT_FALSE(platform::dialogsInMalay());
    showEveryDialog([&](const char *name, QWidget *w) { buttons[name] = buttonTexts(w); });
    EXPECT_EQ(buttons["open"], QStringList({"&Open", "Cancel"}));
    EXPECT_EQ(buttons["folder"], QStringList({"&Choose", "Cancel"}));
    EXPECT_EQ(buttons["yesno"], QStringList({"&No", "&Yes"}));
}

TEST_F(DialogLanguage, EveryTextQtAsksForInTheDialogsHasAMalayTranslation)
{
    QTranslator malay;
    ASSERT_TRUE(malay.load(platform::malayDialogFile()));
    main.PicBM_Click();
    Recorder recorder;
    QCoreApplication::installTranslator(&recorder);
    showEveryDialog([](const char *, QWidget *) {});
    QCoreApplication::removeTranslator(&recorder);
    ASSERT_FALSE(recorder.lookups.isEmpty());

    // Key names and shortcuts stay as the keyboard prints them; weight and style names stay as
    // the fonts name their styles, or the font dialog could not find the style it opens on.
    const QRegularExpression shortcut(QStringLiteral("^(Alt|Ctrl|Shift|Meta)\\+"));
    const QStringList styleNames = {"Normal", "Italic", "Oblique", "Bold", "Demi Bold", "Medium",
                                    "Black", "Light", "Thin", "Extra Light", "Extra Bold", "Extra"};
    QStringList missing;
    for (const Recorder::Lookup &l : recorder.lookups) {
        if (l.context == "QShortcut" || shortcut.match(l.source).hasMatch() ||
            (l.context == "QFontDatabase" && styleNames.contains(l.source)))
            continue;
        const QString t = malay.translate(l.context.toUtf8(), l.source.toUtf8(),
                                          l.disambiguation.isEmpty() ? nullptr
                                                                     : l.disambiguation.toUtf8().constData());
        if (t.isEmpty())
            missing << l.context + " / " + l.source;
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join("\n").toStdString();
}
