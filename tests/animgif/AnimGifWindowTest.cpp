// The animated GIF window, shown offscreen and driven through the scripted toolkit; the GIFs
// it writes are read back with giflib.
#include "GifTestSupport.h"
#include "animgif/AnimGifRules.h"
#include "animgif/cGDIP.h"
#include "animgif/FitMenu.h"
#include "animgif/frm_AnimGif.h"
#include "shell/Texts.h"
#include "support/BusyProbe.h"
#include "support/JpegSamples.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QMenu>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

class AnimGifWindow : public ::testing::Test, public testsupport::ScriptedFixture {
protected:
    AnimGifWindow()
    {
        shell::setVarbahasa("eng");
        w.activate();
    }
    ~AnimGifWindow() override { shell::setVarbahasa("eng"); }

    QString folder(const QString &name)
    {
        const QString p = tmp.filePath(name);
        QDir().mkpath(p);
        return p;
    }
    QString picture(const QString &dir, const QString &name, QColor c, int w = 16, int h = 12)
    {
        const QString p = dir + QLatin1Char('/') + name;
        const char *format = name.endsWith(QLatin1String("jpg"), Qt::CaseInsensitive)
                || name.endsWith(QLatin1String("jpeg"), Qt::CaseInsensitive)
            ? "JPEG"
            : (name.endsWith(QLatin1String("png"), Qt::CaseInsensitive) ? "PNG" : "BMP");
        EXPECT_TRUE(giftest::solidPicture(w, h, c).save(p, format));
        return p;
    }
    void listFolder(const QString &dir, const QString &delay)
    {
        w.txtdelay->setText(delay);
        w.txtdelay_LostFocus();
        tk.folderAnswers.push_back(dir);
        w.cmddir_Click();
    }
    QStringList entries() const
    {
        QStringList out;
        for (int i = 0; i < w.lstFiles->count(); ++i)
            out << w.lstFiles->item(i)->text();
        return out;
    }
    std::vector<qint32> delays() const
    {
        std::vector<qint32> out;
        for (int i = 0; i < w.lstFiles->count(); ++i)
            out.push_back(w.itemDelay(i));
        return out;
    }
    const platform::ScriptedToolkit::Message &last() const { return tk.messages.back(); }

    QTemporaryDir tmp;
    frm_AnimGif w;
};

} // namespace

TEST_F(AnimGifWindow, CaptionsFollowTheLanguageEachTimeItBecomesActive)
{
    EXPECT_EQ(w.windowTitle(), " Create Animated GIF File");
    EXPECT_EQ(w.Label1[0]->text(), "Delay");
    EXPECT_EQ(w.Label1[1]->text(), "Picture Files");
    EXPECT_EQ(w.Label1[2]->text(), "Directory");
    EXPECT_EQ(w.Label1[3]->text(), "*transition time");
    // The delay is in hundredths of a second; the unit says so rather than "ms".
    EXPECT_EQ(w.Label1[4]->text(), "1/100 s");
    EXPECT_EQ(w.mnu_fit->menu->title(), "Frame Size");
    EXPECT_EQ(w.mnu_fit->original->text(), "Picture's Own Size");
    EXPECT_EQ(w.mnu_fit->boxes[0]->text(), "Fit Within 1920 x 1080");
    EXPECT_EQ(w.Label3->text(), "Only For Preview : Size might be vary with the original image");
    EXPECT_EQ(w.cmdCreate->text(), "Create GIF");
    EXPECT_EQ(w.Command1->text(), "Clear");
    EXPECT_EQ(w.cmddir->text(), "Dir");
    EXPECT_EQ(w.mnu_exit->text(), "Exit");
    EXPECT_EQ(w.txtdelay->text(), "100");
    EXPECT_FALSE(w.lstFiles->isVisible());
    EXPECT_FALSE(w.Image1->isVisible());
    EXPECT_FALSE(w.Shape1->isVisible());
    ASSERT_NE(w.gdip(), nullptr);
    EXPECT_TRUE(w.gdip()->started());

    shell::setVarbahasa("bm");
    w.Form_Activate();
    EXPECT_EQ(w.windowTitle(), " Bina Fail GIF Animasi");
    EXPECT_EQ(w.Label1[0]->text(), "Tempoh");
    EXPECT_EQ(w.Label1[1]->text(), "Fail-fail Gambar");
    EXPECT_EQ(w.Label1[2]->text(), "Direktori");
    EXPECT_EQ(w.Label1[3]->text(), "*masa peralihan");
    EXPECT_EQ(w.Label1[4]->text(), "1/100 saat");
    EXPECT_EQ(w.mnu_fit->menu->title(), "Saiz Bingkai");
    EXPECT_EQ(w.mnu_fit->original->text(), "Saiz Asal Gambar");
    EXPECT_EQ(w.mnu_fit->boxes[0]->text(), "Muatkan dalam 1920 x 1080");
    // The longer unit pushes the note along instead of running under it.
    EXPECT_LT(w.Label1[4]->geometry().right(), w.Label1[3]->geometry().left());
    EXPECT_EQ(w.Label3->text(), "Hanya Untuk Paparan: Saiz mungkin berbeza dengan imej asal");
    EXPECT_EQ(w.cmdCreate->text(), "Bina GIF");
    EXPECT_EQ(w.Command1->text(), "Padam");
    EXPECT_EQ(w.cmddir->text(), "Dir");
    EXPECT_EQ(w.mnu_exit->text(), "Keluar");
}

TEST_F(AnimGifWindow, DelayBoxRules)
{
    EXPECT_EQ(w.txtdelay->maxLength(), 5);
    // Pasted text that is no number is emptied; numbers stay.
    w.txtdelay->setText("12a");
    EXPECT_EQ(w.txtdelay->text(), "");
    w.txtdelay->setText("250");
    EXPECT_EQ(w.txtdelay->text(), "250");

    w.txtdelay->setText("60000");
    w.txtdelay_LostFocus();
    EXPECT_TRUE(tk.messages.empty());
    EXPECT_EQ(w.txtdelay->text(), "60000");
    EXPECT_FALSE(w.outcome().refused);

    w.txtdelay->setText("60001");
    w.txtdelay_LostFocus();
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(last().text, "Exceeding the limit (60000)!");
    EXPECT_EQ(last().title, "Pixmar");
    EXPECT_EQ(last().icon, MsgIcon::Error);
    EXPECT_EQ(w.txtdelay->text(), "100");
    EXPECT_TRUE(w.outcome().refused);
    EXPECT_TRUE(w.outcome().failures.empty());   // a refusal, though shown as an error

    shell::setVarbahasa("bm");
    w.txtdelay->setText("99999");
    w.txtdelay_LostFocus();
    EXPECT_EQ(last().text, "Mlebihi had (60000)!");

    // An empty box is left empty.
    w.txtdelay->clear();
    w.txtdelay_LostFocus();
    EXPECT_EQ(tk.messages.size(), 2u);
    EXPECT_EQ(w.txtdelay->text(), "");

    // Typed keys: only digits reach the box, and leaving it for another control checks it.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.txtdelay->setFocus();
    QTest::keyClicks(w.txtdelay, "7a0-0.01x");
    EXPECT_EQ(w.txtdelay->text(), "70001");
    w.txtDirectory->setFocus();
    ASSERT_EQ(tk.messages.size(), 3u);
    EXPECT_EQ(w.txtdelay->text(), "100");
    EXPECT_TRUE(w.txtdelay->hasFocus());
}

TEST(AnimGifRules, WhatTheDelayBoxHoldsAndWhereTheGifGoes)
{
    using namespace animgif;
    for (const char *yes : {"12", " 12 ", "-3", "1.5", ".5", "1e3"})
        EXPECT_TRUE(isNumericText(yes)) << yes;
    for (const char *no : {"", "abc", "12a", "1.2.3", "e3", "-"})
        EXPECT_FALSE(isNumericText(no)) << no;
    EXPECT_EQ(listedDelay("2.5"), 2);   // halves go to the even neighbour
    EXPECT_EQ(listedDelay("-4"), 1);
    EXPECT_TRUE(exceedsDelayLimit("1e9"));
    EXPECT_TRUE(isListedPicture("x.tar.Bmp"));
    EXPECT_FALSE(isListedPicture("jpg"));
    EXPECT_EQ(outputPath("/pics/"), "/pics/Pixmar-anim.gif");
    EXPECT_EQ(outputPath("/"), "/Pixmar-anim.gif");   // the root never gets a doubled separator
}

TEST_F(AnimGifWindow, AFolderListsItsBmpAndJpgPicturesWithTheDelayOfTheMoment)
{
    const QString one = folder("one");
    picture(one, "a.JPG", Qt::red);
    picture(one, "b.jpeg", Qt::green);
    picture(one, "c.png", Qt::blue);
    picture(one, "d.bmp", Qt::yellow);
    listFolder(one, "0");
    EXPECT_TRUE(tk.messages.empty());
    EXPECT_EQ(entries(), (QStringList{one + "/a.JPG", one + "/d.bmp"}));
    EXPECT_EQ(delays(), (std::vector<qint32>{1, 1}));
    EXPECT_TRUE(w.lstFiles->isVisible());
    EXPECT_TRUE(w.Image1->isVisible());
    EXPECT_TRUE(w.Shape1->isVisible());
    EXPECT_EQ(w.txtDirectory->text(), one);
    EXPECT_FALSE(w.previewPicture().isNull());   // the last listed picture

    // A second folder is appended with the delay in the box then; the first keeps its own.
    const QString two = folder("two");
    picture(two, "e.bmp", Qt::cyan);
    listFolder(two, "250");
    EXPECT_EQ(entries(), (QStringList{one + "/a.JPG", one + "/d.bmp", two + "/e.bmp"}));
    EXPECT_EQ(delays(), (std::vector<qint32>{1, 1, 250}));
    EXPECT_EQ(w.txtDirectory->text(), two);
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(AnimGifWindow, ListingRefusals)
{
    const QString one = folder("one");
    picture(one, "a.bmp", Qt::red);

    // The folder picker cancelled.
    w.cmddir_Click();
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(last().text, "Please specify Source Directory!");
    EXPECT_EQ(last().title, "Pixmar: Invalid Path");
    EXPECT_FALSE(w.lstFiles->isVisible());
    EXPECT_TRUE(w.outcome().refused);
    w.Form_Activate();   // starts the record afresh
    EXPECT_FALSE(w.outcome().refused);

    // No delay: the folder is kept in its box, nothing is listed.
    w.txtdelay->clear();
    tk.folderAnswers.push_back(one);
    w.cmddir_Click();
    EXPECT_EQ(last().text, "Please specify Delay value!");
    EXPECT_EQ(last().title, "Pixmar");
    EXPECT_EQ(w.txtDirectory->text(), one);
    EXPECT_EQ(w.lstFiles->count(), 0);
    EXPECT_TRUE(w.outcome().refused);
    EXPECT_TRUE(w.outcome().failures.empty());

    // A folder that cannot be read.
    w.txtdelay->setText("5");
    tk.folderAnswers.push_back(one + "/gone");
    w.cmddir_Click();
    EXPECT_EQ(last().title, "Error");
    EXPECT_EQ(last().buttons, MsgButtons::OK);
    EXPECT_EQ(w.lstFiles->count(), 0);
    ASSERT_EQ(w.outcome().failures.size(), 1u);
    EXPECT_EQ(w.outcome().failures[0].path, one + "/gone");
    EXPECT_EQ(w.outcome().failures[0].reason, last().text);
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(AnimGifWindow, ABrokenPictureAsksWhetherToContinue)
{
    const QString dir = folder("mixed");
    picture(dir, "1.bmp", Qt::red);
    testsupport::writeBytes(dir + "/2.jpg", "not a picture");
    picture(dir, "3.bmp", Qt::blue);

    tk.messageAnswers.push_back(MsgResult::Yes);
    listFolder(dir, "10");
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(last().title, "Error");
    EXPECT_EQ(last().buttons, MsgButtons::YesNo);
    EXPECT_TRUE(last().text.endsWith("\r\nContinue?"));
    EXPECT_TRUE(last().text.contains("2.jpg"));
    EXPECT_EQ(entries(), (QStringList{dir + "/1.bmp", dir + "/3.bmp"}));
    ASSERT_EQ(w.outcome().failures.size(), 1u);
    EXPECT_EQ(w.outcome().failures[0].path, dir + "/2.jpg");
    EXPECT_FALSE(w.outcome().stopped);

    // No: the listing stops, what was listed stays, the preview is emptied.
    tk.messageAnswers.push_back(MsgResult::No);
    listFolder(dir, "10");
    EXPECT_EQ(entries(), (QStringList{dir + "/1.bmp", dir + "/3.bmp", dir + "/1.bmp"}));
    EXPECT_TRUE(w.previewPicture().isNull());
    EXPECT_TRUE(w.outcome().stopped);
    EXPECT_EQ(w.outcome().failures.size(), 2u);
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(AnimGifWindow, APictureWhoseNameIsNotUtf8IsNamedNeverSilentlyLeftOut)
{
    const QString dir = folder("raw");
    picture(dir, "a.bmp", Qt::red);
    ASSERT_TRUE(testsupport::writeBytesRawName(dir, "b\xff.bmp", testsupport::readBytes(dir + "/a.bmp")));
    ASSERT_TRUE(testsupport::writeBytesRawName(dir, "c\xff.txt", "not a picture of the GIF"));
    tk.messageAnswers.push_back(MsgResult::Yes);
    listFolder(dir, "10");
    EXPECT_EQ(entries(), QStringList{dir + "/a.bmp"});
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(last().buttons, MsgButtons::YesNo);
    EXPECT_EQ(last().text, "File name is not UTF-8, not processed: " + dir + "/b\\xFF.bmp\r\nContinue?");
    ASSERT_EQ(w.outcome().failures.size(), 1u);
    EXPECT_EQ(w.outcome().failures[0].path, dir + "/b\\xFF.bmp");
}

TEST_F(AnimGifWindow, ClickingAnEntryPreviewsItAndAMissingOneKeepsTheList)
{
    const QString dir = folder("p");
    picture(dir, "big.bmp", Qt::red, 40, 30);
    picture(dir, "small.bmp", Qt::blue, 8, 6);
    listFolder(dir, "10");
    w.lstFiles->setCurrentRow(0);
    EXPECT_EQ(w.previewPicture().pixelSize(), QSize(40, 30));
    EXPECT_EQ(w.previewPicture().image().pixel(1, 1), qRgb(255, 0, 0));

    QFile::remove(dir + "/small.bmp");
    w.lstFiles->setCurrentRow(1);
    EXPECT_TRUE(w.previewPicture().isNull());
    EXPECT_EQ(last().title, "Error");
    EXPECT_EQ(w.lstFiles->count(), 2);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(AnimGifWindow, ClickingAnEntryAgainAfterAnotherListingPreviewsItAgain)
{
    const QString one = folder("one"), two = folder("two");
    picture(one, "a.bmp", Qt::red);
    picture(two, "b.bmp", Qt::blue);
    listFolder(one, "10");
    auto click = [this](int row) {
        const QRect r = w.lstFiles->visualItemRect(w.lstFiles->item(row));
        QTest::mouseClick(w.lstFiles->viewport(), Qt::LeftButton, {}, r.center());
    };
    click(0);
    EXPECT_EQ(w.previewPicture().image().pixel(1, 1), qRgb(255, 0, 0));
    listFolder(two, "10");   // the preview shows the picture listed last
    EXPECT_EQ(w.previewPicture().image().pixel(1, 1), qRgb(0, 0, 255));
    click(0);
    EXPECT_EQ(w.previewPicture().image().pixel(1, 1), qRgb(255, 0, 0));
    click(1);
    EXPECT_EQ(w.previewPicture().image().pixel(1, 1), qRgb(0, 0, 255));
    EXPECT_TRUE(tk.messages.empty());
}

TEST_F(AnimGifWindow, ClearEmptiesTheListAndResetsTheBoxes)
{
    const QString dir = folder("c");
    picture(dir, "a.bmp", Qt::red);
    listFolder(dir, "7");
    w.Command1_Click();
    EXPECT_EQ(w.lstFiles->count(), 0);
    EXPECT_FALSE(w.lstFiles->isVisible());
    EXPECT_FALSE(w.Image1->isVisible());
    EXPECT_TRUE(w.previewPicture().isNull());
    EXPECT_EQ(w.txtDirectory->text(), "");
    EXPECT_EQ(w.txtdelay->text(), "100");
}

TEST_F(AnimGifWindow, CreateGifWritesTheListInOrderWithEachDelay)
{
    const QString one = folder("one"), two = folder("two");
    picture(one, "a.bmp", Qt::red);
    picture(one, "b.jpg", Qt::green);
    picture(two, "c.bmp", Qt::blue);
    listFolder(one, "15");
    listFolder(two, "300");
    w.cmdCreate_Click();
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(last().text, "Animated GIF file created successfully!");
    EXPECT_EQ(last().title, "Pixmar");
    EXPECT_EQ(tk.busyDepth, 0);
    EXPECT_TRUE(w.outcome().built);
    EXPECT_FALSE(w.outcome().refused);
    EXPECT_TRUE(w.outcome().failures.empty());

    const giftest::File gif = giftest::readGif(two + "/Pixmar-anim.gif");
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(gif.frames.size(), 3u);
    EXPECT_EQ(gif.frames[0].delayCs, 15);
    EXPECT_EQ(gif.frames[1].delayCs, 15);
    EXPECT_EQ(gif.frames[2].delayCs, 300);
    EXPECT_EQ(gif.frames[2].image.pixel(5, 5), qRgb(0, 0, 255));
    ASSERT_TRUE(gif.loopCount.has_value());
    EXPECT_EQ(*gif.loopCount, 0);
    EXPECT_FALSE(QFile::exists(one + "/Pixmar-anim.gif"));

    // The view is reset but the list kept.
    EXPECT_FALSE(w.lstFiles->isVisible());
    EXPECT_FALSE(w.Image1->isVisible());
    EXPECT_EQ(w.txtDirectory->text(), "");
    EXPECT_EQ(w.txtdelay->text(), "100");
    EXPECT_EQ(w.lstFiles->count(), 3);

    // Building again without Clear: the earlier pictures followed by the new folder's, and
    // the file of that folder replaced.
    picture(two, "d.bmp", Qt::white);
    listFolder(two, "40");
    EXPECT_EQ(w.lstFiles->count(), 5);
    EXPECT_TRUE(w.lstFiles->isVisible());
    w.cmdCreate_Click();
    EXPECT_EQ(last().text, "Animated GIF file created successfully!");
    const giftest::File again = giftest::readGif(two + "/Pixmar-anim.gif");
    ASSERT_EQ(again.frames.size(), 5u);
    const int expected[] = {15, 15, 300, 40, 40};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(again.frames[size_t(i)].delayCs, expected[i]);
}

TEST_F(AnimGifWindow, CreateGifRefusals)
{
    w.cmdCreate_Click();
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(last().text, "No files selected.");
    EXPECT_EQ(last().title, "Pixmar");
    EXPECT_TRUE(w.outcome().refused);
    EXPECT_FALSE(w.outcome().built);
    w.Command1_Click();   // Clear starts the record afresh
    EXPECT_FALSE(w.outcome().refused);

    shell::setVarbahasa("bm");
    w.cmdCreate_Click();
    EXPECT_EQ(last().text, "Tiada fail yang dipilih.");
}

TEST_F(AnimGifWindow, CreatingAgainAfterSuccessWithNoFolderIsRefused)
{
    const QString dir = folder("once");
    picture(dir, "a.bmp", Qt::red);
    listFolder(dir, "10");
    w.cmdCreate_Click();
    ASSERT_EQ(last().text, "Animated GIF file created successfully!");
    const QByteArray first = giftest::fileBytes(dir + "/Pixmar-anim.gif");

    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder("elsewhere")));
    w.cmdCreate_Click();
    QDir::setCurrent(cwd);
    EXPECT_EQ(last().text, "Please specify Source Directory!");
    EXPECT_EQ(last().title, "Pixmar: Invalid Path");
    EXPECT_EQ(tk.messages.size(), 2u);
    EXPECT_FALSE(QFile::exists("/Pixmar-anim.gif"));
    EXPECT_TRUE(QDir(tmp.filePath("elsewhere")).isEmpty());
    EXPECT_EQ(giftest::fileBytes(dir + "/Pixmar-anim.gif"), first);
    EXPECT_EQ(w.lstFiles->count(), 1);
}

TEST_F(AnimGifWindow, AFailedBuildSaysWhyAndLosesNothing)
{
    const QString dir = folder("f");
    picture(dir, "a.bmp", Qt::red);
    const QString target = dir + "/Pixmar-anim.gif";
    ASSERT_TRUE(testsupport::writeBytes(target, "the user's own file"));
    ::chmod(QFile::encodeName(target).constData(), 0444);
    listFolder(dir, "10");
    w.cmdCreate_Click();
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(last().title, "Error");
    EXPECT_EQ(last().text, "Permission denied: " + target);
    EXPECT_EQ(last().icon, MsgIcon::Error);
    EXPECT_EQ(testsupport::readBytes(target), QByteArray("the user's own file"));
    // Nothing else was left in the folder, and the window is as it was.
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"Pixmar-anim.gif", "a.bmp"}));
    EXPECT_TRUE(w.lstFiles->isVisible());
    EXPECT_EQ(w.txtDirectory->text(), dir);
    EXPECT_EQ(w.txtdelay->text(), "10");
    EXPECT_EQ(w.lstFiles->count(), 1);
    EXPECT_FALSE(w.outcome().built);
    ASSERT_EQ(w.outcome().failures.size(), 1u);
    EXPECT_EQ(w.outcome().failures[0].path, target);
    EXPECT_EQ(w.outcome().failures[0].reason, "Permission denied: " + target);
    // The cause is told in the session's language.
    shell::setVarbahasa("bm");
    w.cmdCreate_Click();
    EXPECT_EQ(last().text, "Kebenaran ditolak: " + target);
    shell::setVarbahasa("eng");

    // The first picture gone by build time: no file is started at all.
    ::chmod(QFile::encodeName(target).constData(), 0644);
    QFile::remove(target);
    QFile::remove(dir + "/a.bmp");
    w.cmdCreate_Click();
    EXPECT_EQ(last().title, "Error");
    EXPECT_EQ(last().text, "File not found: " + dir + "/a.bmp");
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(AnimGifWindow, APictureBrokenOrGoneAfterListingFailsTheBuildNamingIt)
{
    const QString dir = folder("later");
    picture(dir, "1.bmp", Qt::red);
    picture(dir, "2.bmp", Qt::green);
    picture(dir, "3.bmp", Qt::blue);
    const QString target = dir + "/Pixmar-anim.gif";
    ASSERT_TRUE(testsupport::writeBytes(target, "the old animation"));
    listFolder(dir, "10");
    testsupport::writeBytes(dir + "/2.bmp", "broken since");
    w.cmdCreate_Click();
    EXPECT_EQ(last().title, "Error");
    EXPECT_EQ(last().icon, MsgIcon::Error);
    EXPECT_EQ(last().text, shell::tx("err.invalidPicture").arg(dir + "/2.bmp"));
    EXPECT_FALSE(w.outcome().built);
    ASSERT_EQ(w.outcome().failures.size(), 1u);
    EXPECT_EQ(w.outcome().failures[0].path, dir + "/2.bmp");
    // The old file kept, nothing new or temporary left, the list still there to build again.
    EXPECT_EQ(testsupport::readBytes(target), QByteArray("the old animation"));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"1.bmp", "2.bmp", "3.bmp", "Pixmar-anim.gif"}));
    EXPECT_EQ(w.lstFiles->count(), 3);

    // Gone since the listing, in Malay: the message is the catalogue's, naming the frame.
    shell::setVarbahasa("bm");
    QFile::remove(dir + "/3.bmp");
    picture(dir, "2.bmp", Qt::green);
    w.cmdCreate_Click();
    EXPECT_EQ(last().text, shell::tx("err.fileNotFound", "bm").arg(dir + "/3.bmp"));
    EXPECT_EQ(testsupport::readBytes(target), QByteArray("the old animation"));
}

TEST_F(AnimGifWindow, ResizeStretchesListAndPreviewOnlyWhenShown)
{
    // The heights follow only with the background picture present (it is in the data folder).
    ASSERT_FALSE(w.backgroundPath().isEmpty());
    const QString dir = folder("r");
    picture(dir, "a.bmp", Qt::red);
    const int listBefore = w.lstFiles->height();
    w.resize(w.width(), w.height() + 150);
    EXPECT_EQ(w.lstFiles->height(), listBefore);   // hidden: left alone

    listFolder(dir, "10");
    w.resize(w.width(), w.height() + 150);
    const double tpp = platform::twipsPerPixelY();
    EXPECT_NEAR(w.lstFiles->height(), (w.clientHeight() - 2440) / tpp, 1.0);
    EXPECT_NEAR(w.Image1->height(), (w.clientHeight() - 2580) / tpp, 1.0);
    EXPECT_EQ(w.Shape1->height(), w.Image1->height());
}

TEST_F(AnimGifWindow, ActivatingAgainReplacesTheLibraryObjectAndEmptiesTheList)
{
    const QString dir = folder("a");
    picture(dir, "a.bmp", Qt::red);
    listFolder(dir, "10");
    const cGDIP *before = w.gdip();
    w.Form_Activate();
    EXPECT_NE(w.gdip(), nullptr);
    EXPECT_NE(w.gdip(), before);
    EXPECT_TRUE(w.gdip()->started());
    EXPECT_EQ(w.lstFiles->count(), 0);
    EXPECT_FALSE(w.lstFiles->isVisible());
}

TEST_F(AnimGifWindow, WhileListingOrBuildingItCannotBeClosedRestartedOrCleared)
{
    const QString one = folder("one"), other = folder("other");
    picture(one, "a.bmp", Qt::red);
    picture(one, "b.bmp", Qt::green);
    picture(one, "c.bmp", Qt::blue);
    testsupport::BusyProbe probe(w, {w.txtdelay, w.txtDirectory, w.cmddir, w.cmdCreate, w.Command1}, [this] {
        w.cmddir_Click();
        w.ListPictureFiles();
        w.cmdCreate_Click();
        w.Command1_Click();
        w.mnu_exit_Click();
    });
    tk.onDoEvents = [&] { probe(); };
    tk.folderAnswers = {one, other};
    w.txtdelay->setText("20");
    w.cmddir_Click();
    EXPECT_GT(probe.pokes, 0);
    EXPECT_EQ(entries(), (QStringList{one + "/a.bmp", one + "/b.bmp", one + "/c.bmp"}));
    EXPECT_EQ(delays(), (std::vector<qint32>{20, 20, 20}));
    EXPECT_EQ(tk.folderAnswers, std::deque<QString>{other});   // no second listing began
    EXPECT_TRUE(tk.messages.empty());                          // nor a build
    EXPECT_FALSE(QFile::exists(one + "/Pixmar-anim.gif"));

    // The build reports each frame; the same pokes arrive from there.
    tk.onDoEvents = nullptr;
    tk.onProgress = [&](int, int, const QString &) { probe(); };
    probe.pokes = 0;
    w.cmdCreate_Click();
    tk.onProgress = nullptr;
    EXPECT_EQ(probe.pokes, 3);
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(last().text, "Animated GIF file created successfully!");
    EXPECT_EQ(giftest::readGif(one + "/Pixmar-anim.gif").frames.size(), 3u);
    EXPECT_EQ(w.lstFiles->count(), 3);   // not cleared under the build
    EXPECT_FALSE(probe.closed);
    EXPECT_FALSE(probe.anyEnabled);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(probe.allEnabled());
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(AnimGifWindow, TheFrameSizeChoiceIsRememberedAndFitsTheBuild)
{
    // Pictures keep their size until a box is chosen.
    EXPECT_TRUE(w.mnu_fit->original->isChecked());
    EXPECT_EQ(w.mnu_fit->box(), QSize());

    const QString dir = folder("big");
    picture(dir, "a.bmp", Qt::red, 1000, 500);
    picture(dir, "b.bmp", Qt::green, 200, 100);
    w.mnu_fit->boxes[3]->trigger();   // 640 x 480
    EXPECT_TRUE(w.mnu_fit->boxes[3]->isChecked());
    EXPECT_FALSE(w.mnu_fit->original->isChecked());
    listFolder(dir, "20");
    w.cmdCreate_Click();
    EXPECT_EQ(last().text, "Animated GIF file created successfully!");
    const giftest::File gif = giftest::readGif(dir + "/Pixmar-anim.gif");
    ASSERT_EQ(gif.frames.size(), 2u);
    EXPECT_EQ(QSize(gif.width, gif.height), QSize(640, 320));

    // The next session starts with the same choice; choosing the pictures' own size again
    // is remembered as well.
    {
        frm_AnimGif next;
        EXPECT_EQ(next.mnu_fit->box(), QSize(640, 480));
        EXPECT_TRUE(next.mnu_fit->boxes[3]->isChecked());
        next.mnu_fit->original->trigger();
    }
    frm_AnimGif third;
    EXPECT_EQ(third.mnu_fit->box(), QSize());
    EXPECT_TRUE(third.mnu_fit->original->isChecked());
}

TEST_F(AnimGifWindow, APhotoTurnedByItsOrientationIsPreviewedUpright)
{
    // Stored left half red, right half blue; orientation 6 shows the stored left side on top.
    QImage stored(400, 200, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width() / 2; ++x)
            stored.setPixel(x, y, qRgb(255, 0, 0));
    const QString dir = folder("turned");
    testsupport::writeBytes(dir + "/phone.jpg",
                            testsupport::withSegment(testsupport::jpegOfKind(stored), testsupport::exifSegment(6)));
    listFolder(dir, "10");
    ASSERT_EQ(entries().size(), 1);
    for (int round = 0; round < 2; ++round) {
        const QImage shown = w.previewPicture().image();
        ASSERT_FALSE(shown.isNull());
        EXPECT_GT(qRed(shown.pixel(shown.width() / 2, 2)), 200) << round;
        EXPECT_GT(qBlue(shown.pixel(shown.width() / 2, shown.height() - 3)), 200) << round;
        w.lstFiles->setCurrentRow(0);
        w.lstFiles_Click();
    }
}

TEST_F(AnimGifWindow, AllPictureFormatsListsEveryPictureNamesWhatItLeftOutAndIsRemembered)
{
    const QString dir = folder("mixed");
    picture(dir, "a.jpg", Qt::red);
    picture(dir, "b.png", Qt::green);
    EXPECT_TRUE(giftest::solidPicture(16, 12, Qt::blue).save(dir + "/c.webp", "webp"));
    testsupport::writeBytes(dir + "/notes.txt", "x");
    listFolder(dir, "10");
    EXPECT_EQ(entries(), QStringList{dir + "/a.jpg"});
    EXPECT_TRUE(tk.messages.empty());   // as it always did: other files pass unsaid

    w.mnu_allFormats->trigger();
    w.Command1_Click();   // a new list
    listFolder(dir, "10");
    EXPECT_EQ(entries(), (QStringList{dir + "/a.jpg", dir + "/b.png", dir + "/c.webp"}));
    ASSERT_FALSE(tk.messages.empty());
    EXPECT_EQ(last().text, "These files of " + dir + " are no pictures and were left out:\r\nnotes.txt");

    frm_AnimGif again;
    again.activate();
    EXPECT_TRUE(again.mnu_allFormats->isChecked());
    again.mnu_allFormats->trigger();
}
