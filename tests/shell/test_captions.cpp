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
