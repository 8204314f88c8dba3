// Message boxes show their titles whole, whatever the length of the message under them.
#include "platform/Toolkit.h"

#include <QFontMetrics>
#include <QMessageBox>
#include <gtest/gtest.h>

TEST(MessageBox, ALongTitleOverAShortMessageIsShownWhole)
{
    for (const QString title : {QStringLiteral("Pixmar: Direktori Tidak Sah"),
                                QStringLiteral("Pixmar: Fail Tidak Sah - Sila Pilih Fail Imej Yang Betul")}) {
        QMessageBox box;
        box.setWindowTitle(title);
        box.setText(QStringLiteral("Sila pilih!"));
        box.setStandardButtons(QMessageBox::Ok);
        const int narrow = box.sizeHint().width();
        platform::widenForTitle(box);
        QFont bold = box.font();
        bold.setBold(true);
        EXPECT_GT(box.sizeHint().width(), narrow);
        EXPECT_GE(box.sizeHint().width(), QFontMetrics(bold).horizontalAdvance(title) + 100);
    }
}
