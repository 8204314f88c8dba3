#include "shell/Form.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

TEST(KeyFilters, DigitsOnlyAndNameCharsOnly)
{
    auto digits = [](int c) { shell::KeyDigitsOnly(c); return c; };
    auto names = [](int c) { shell::KeyNameCharsOnly(c); return c; };
    EXPECT_EQ(digits('a'), 0);
    EXPECT_EQ(digits('7'), '7');
    EXPECT_EQ(digits(8), 8);     // backspace
    EXPECT_EQ(digits(13), 13);   // enter
    EXPECT_EQ(digits(26), 26);
    EXPECT_EQ(digits(27), 0);
    EXPECT_EQ(names(' '), 0);
    EXPECT_EQ(names('.'), 0);
    EXPECT_EQ(names('/'), 0);
    for (int c : {'-', '_', '&', 'Z', 'a', '0'})
        EXPECT_EQ(names(c), c);
    EXPECT_EQ(names(0xE9), 0);   // é
}

TEST(KeyFilters, TypedKeysAreFilteredInTheBox)
{
    QLineEdit edit;
    shell::installKeyFilter(&edit, shell::KeyDigitsOnly);
    QTest::keyClicks(&edit, "12a3");
    EXPECT_EQ(edit.text(), "123");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "12");

    // The desktop gives Delete the text DEL (127); it still deletes in both boxes.
    QLineEdit name;
    shell::installKeyFilter(&name, shell::KeyNameCharsOnly);
    name.setText("Ab");
    for (QLineEdit *box : {&edit, &name}) {
        box->home(false);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
        QApplication::sendEvent(box, &del);
    }
    EXPECT_EQ(edit.text(), "2");
    EXPECT_EQ(name.text(), "b");

    // Text composed with an input method is typed text: filtered the same way.
    auto compose = [](QLineEdit &box, const QString &committed) {
        QInputMethodEvent e;
        e.setCommitString(committed);
        QApplication::sendEvent(&box, &e);
    };
    edit.end(false);
    compose(edit, QStringLiteral("\u00e95x"));
    name.end(false);
    compose(name, QStringLiteral("c.d/\u00e9"));
    EXPECT_EQ(edit.text(), "25");
    EXPECT_EQ(name.text(), "bcd");
}

TEST(PointerReadout, ReservesASignPosition)
{
    EXPECT_EQ(shell::pointerReadout(" Mouse Position (X, Y): ", 120, 45),
              " Mouse Position (X, Y):  120,  45");
    EXPECT_EQ(shell::numberWithSign(-3), "-3");
    EXPECT_EQ(shell::numberWithSign(0), " 0");
    EXPECT_EQ(shell::numberWithSign(12.5), " 12.5");
}

TEST(TwipsToPixels, RoundsHalvesToEven)
{
    testsupport::ScriptedFixture fx;
    shell::Form form("f", 1500, 1500, QString());
    EXPECT_EQ(form.ConvertTwipsToPixels(15, 0), 1);
    EXPECT_EQ(form.ConvertTwipsToPixels(7, 0), 0);
    EXPECT_EQ(form.ConvertTwipsToPixels(8, 1), 1);
    EXPECT_EQ(form.ConvertTwipsToPixels(22, 0), 1);    // 1.47
    EXPECT_EQ(form.ConvertTwipsToPixels(37, 0), 2);    // 2.47
    EXPECT_EQ(form.ConvertTwipsToPixels(45, 0), 3);
    fx.tk.metrics.twipsPerPixelY = 10;
    EXPECT_EQ(form.ConvertTwipsToPixels(25, 1), 2);    // 2.5 → 2
    EXPECT_EQ(form.ConvertTwipsToPixels(35, 1), 4);    // 3.5 → 4
}

TEST(Files, HasFileWantsAPlainFile)
{
    QTemporaryDir tmp;
    EXPECT_FALSE(shell::HasFile(tmp.path()));
    EXPECT_FALSE(shell::HasFile(tmp.filePath("none")));
    EXPECT_FALSE(shell::HasFile(QString()));
    testsupport::writeBytes(tmp.filePath("a.jpg"), "x");
    testsupport::writeBytes(tmp.filePath(".h.jpg"), "x");
    EXPECT_TRUE(shell::HasFile(tmp.filePath("a.jpg")));
    EXPECT_FALSE(shell::HasFile(tmp.filePath(".h.jpg")));
}

TEST(Folders, DriveRootsAndLabels)
{
    EXPECT_EQ(shell::applyDriveRootRule("D:\\"), "D:");
    EXPECT_EQ(shell::applyDriveRootRule("/"), "/");
    EXPECT_EQ(shell::applyDriveRootRule("/home/a"), "/home/a");
    EXPECT_EQ(shell::folderForLabel("/"), "/");
    EXPECT_EQ(shell::folderForLabel("/home/a"), "/home/a/");
}

TEST(Texts, OnlyBmSelectsMalay)
{
    EXPECT_EQ(shell::tx("main.mnu_exit", "bm"), "Keluar");
    EXPECT_EQ(shell::tx("main.mnu_exit", "eng"), "Exit");
    EXPECT_EQ(shell::tx("main.mnu_exit", "BM"), "Exit");
    EXPECT_EQ(shell::tx("main.mnu_exit", ""), "Exit");
    EXPECT_EQ(shell::tx("common.msg.noTarget", "bm"), "Sila nyatakan Direktori Sasaran");
    EXPECT_FALSE(shell::hasText("no.such.key"));
}
