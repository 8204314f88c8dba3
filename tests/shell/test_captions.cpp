// Every window in both languages: no caption is missing from the catalogue or left empty.
#include "animgif/frm_AnimGif.h"
#include "rename/frm_RenBulk.h"
#include "shell/Texts.h"
#include "shell/frmAbout.h"
#include "shell/frmUtama.h"
#include "support/TestSupport.h"
#include "tools/frm_Addtext.h"
#include "tools/frm_Pusing.h"
#include "tools/frm_WaterLogo.h"
#include "tools/frm_Watertext.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// The captions a user can read: title, menu entries at every depth, buttons and labels.
QStringList captionsOf(shell::Form &w)
{
    QStringList out{w.windowTitle()};
    std::function<void(const QList<QAction *> &)> walk = [&](const QList<QAction *> &actions) {
        for (QAction *a : actions) {
            if (a->isSeparator())
                continue;
            out << a->text();
            if (a->menu())
                walk(a->menu()->actions());
        }
    };
    walk(w.menuBar()->actions());
    for (auto *b : w.findChildren<QAbstractButton *>())
        if (!b->text().isNull())
            out << b->text();
    for (auto *l : w.findChildren<QLabel *>())
        out << l->text();
    return out;
}

std::unique_ptr<shell::Form> makeWindow(int i)
{
    switch (i) {
    case 0: return std::make_unique<frmUtama>();
    case 1: return std::make_unique<frm_Addtext>();
    case 2: return std::make_unique<frm_Watertext>();
    case 3: return std::make_unique<frm_WaterLogo>();
    case 4: return std::make_unique<frm_Pusing>();
    case 5: return std::make_unique<frm_AnimGif>();
    case 6: return std::make_unique<frm_RenBulk>();
    case 7: return std::make_unique<frmAbout>();
    default: return nullptr;
    }
}

} // namespace

TEST(Captions, EveryWindowInBothLanguagesHasEveryCaptionFromTheCatalogue)
{
    testsupport::ScriptedFixture fx;
    static const QRegularExpression placeholder(QStringLiteral("\\[[A-Za-z]+\\.[A-Za-z0-9_.]+\\]"));
    for (const QString lang : {QStringLiteral("eng"), QStringLiteral("bm")}) {
        for (int i = 0; i < 8; ++i) {
            shell::setVarbahasa(lang);
            auto w = makeWindow(i);
            w->setAttribute(Qt::WA_DontShowOnScreen);
            w->activate();
            // The main window derives the language from its flags on activation.
            shell::setVarbahasa(lang);
            w->Form_Activate();
            const QStringList captions = captionsOf(*w);
            for (const QString &c : captions)
                EXPECT_FALSE(placeholder.match(c).hasMatch())
                    << w->formName().toStdString() << " " << lang.toStdString() << ": " << c.toStdString();
            std::function<void(const QList<QAction *> &)> walk = [&](const QList<QAction *> &as) {
                for (QAction *a : as) {
                    if (a->isSeparator())
                        continue;
                    EXPECT_FALSE(a->text().trimmed().isEmpty())
                        << w->formName().toStdString() << " " << lang.toStdString() << ": empty menu entry";
                    if (a->menu())
                        walk(a->menu()->actions());
                }
            };
            walk(w->menuBar()->actions());
            EXPECT_FALSE(w->windowTitle().trimmed().isEmpty()) << w->formName().toStdString();
            w->close();
        }
    }
    shell::setVarbahasa(QStringLiteral("eng"));
}

namespace {

// True when `caption` is a text of `catalogue`: the text itself, the text with its %1, %2
// filled in, or a label text followed by the value it shows.
bool fromCatalogue(const QString &caption, const QStringList &catalogue)
{
    static const QRegularExpression placeholder(QStringLiteral("%\\d"));
    for (QString t : catalogue) {
        t.remove(QLatin1Char('&'));   // mnemonics, as the captions are compared
        if (t.isEmpty())
            continue;
        if (caption == t)
            return true;
        if (t.contains(placeholder)) {
            QStringList parts = t.split(placeholder);
            for (QString &p : parts)
                p = QRegularExpression::escape(p);
            const QRegularExpression filled(QStringLiteral("^") + parts.join(QStringLiteral(".+")) +
                                            QStringLiteral("$"));
            if (filled.match(caption).hasMatch())
                return true;
        } else if (t.trimmed().size() >= 4 && caption.startsWith(t)) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(Captions, EveryToolWindowsCaptionsAreTheCatalogueTextsOfItsLanguage)
{
    // A caption set from the other language's column, or typed into the window in one
    // language, looks right in that language only: each window is read in both.
    // Captions with no letters (levels such as "50%") are values, not texts.
    static const QRegularExpression letter(QStringLiteral("\\p{L}"));
    // Captions the windows keep in both languages.
    const QStringList kFixed = {QStringLiteral("Font")};
    testsupport::ScriptedFixture fx;
    for (const QString lang : {QStringLiteral("eng"), QStringLiteral("bm")}) {
        const QStringList own = shell::catalogueTexts(lang);
        for (int i = 1; i <= 6; ++i) {   // the main and About windows keep fixed captions
            shell::setVarbahasa(lang);
            auto w = makeWindow(i);
            w->setAttribute(Qt::WA_DontShowOnScreen);
            w->activate();
            w->Form_Activate();
            for (QString c : captionsOf(*w)) {
                c.remove(QLatin1Char('&'));
                if (!c.contains(letter) || kFixed.contains(c) || fromCatalogue(c, own))
                    continue;
                ADD_FAILURE() << w->formName().toStdString() << " " << lang.toStdString()
                              << ": \"" << c.toStdString() << "\" is not a catalogue text";
            }
            w->close();
        }
    }
    shell::setVarbahasa(QStringLiteral("eng"));
}
