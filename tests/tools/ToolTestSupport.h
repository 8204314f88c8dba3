#pragma once
#include "shell/Texts.h"
#include "support/TestSupport.h"
#include "tools/ToolWindow.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tooltest {

// A scripted toolkit, a source and a target folder, and the steps a user takes in a tool.
class ToolFixture : public ::testing::Test, public testsupport::ScriptedFixture {
protected:
    ToolFixture()
    {
        src = tmp.path() + QStringLiteral("/src");
        out = tmp.path() + QStringLiteral("/out");
        QDir().mkpath(src);
        QDir().mkpath(out);
        shell::setVarbahasa(QStringLiteral("eng"));
    }
    ~ToolFixture() override { shell::setVarbahasa(QStringLiteral("eng")); }

    void bulk(tools::ToolWindow &w, const QString &dir, const QString &target)
    {
        tk.folderAnswers = {dir, target};
        w.mnu_bulk_Click();
        w.mnu_folder_Click();
    }
    void single(tools::ToolWindow &w, const QString &file, const QString &target)
    {
        tk.openAnswers = {file};
        tk.folderAnswers = {target};
        w.mnu_single_Click();
        w.mnu_folder_Click();
    }
    QString in(const QString &name) const { return src + QLatin1Char('/') + name; }
    QString at(const QString &name) const { return out + QLatin1Char('/') + name; }
    QStringList outFiles() const { return QDir(out).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase); }
    QString lastText() const { return tk.lastMessage() ? tk.lastMessage()->text : QString(); }
    QString lastTitle() const { return tk.lastMessage() ? tk.lastMessage()->title : QString(); }
    // The "Error" / "Continue?" questions asked so far.
    QStringList questions() const
    {
        QStringList q;
        for (const auto &m : tk.messages)
            if (m.buttons == platform::MsgButtons::YesNo)
                q << m.text;
        return q;
    }

    QTemporaryDir tmp;
    QString src, out;
};

// Brightest channel value in a rectangle (whole image when empty).
inline int maxChannel(const QImage &img, QRect r = {})
{
    if (r.isEmpty())
        r = img.rect();
    int m = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            m = std::max({m, qRed(p), qGreen(p), qBlue(p)});
        }
    return m;
}

// Pictures every tool must survive, all with accepted extensions: a zero-size bitmap, a
// bitmap header claiming 100000 × 100000 pixels, a text file named .jpg and a truncated JPEG.
inline QStringList writeBrokenPictures(const QString &folder)
{
    testsupport::writeBytes(folder + QStringLiteral("/empty.bmp"), QByteArray());
    QByteArray huge(54, '\0');
    huge[0] = 'B';
    huge[1] = 'M';
    auto put32 = [&huge](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            huge[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    put32(10, 54);
    put32(14, 40);
    put32(18, 100000);
    put32(22, 100000);
    huge[26] = 1;
    huge[28] = 24;
    testsupport::writeBytes(folder + QStringLiteral("/huge.bmp"), huge);
    testsupport::writeBytes(folder + QStringLiteral("/text.jpg"), "this is not a picture\n");
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        testsupport::gradientImage(300, 200).save(&buffer, "JPEG");
    }
    testsupport::writeBytes(folder + QStringLiteral("/truncated.jpg"), jpeg.left(jpeg.size() / 2));
    return {QStringLiteral("empty.bmp"), QStringLiteral("huge.bmp"), QStringLiteral("text.jpg"),
            QStringLiteral("truncated.jpg")};
}

// The first value of the first quantisation table, which libjpeg derives from the quality:
// it tells which quality encoded a JPEG, and whether a turn kept the source's coefficients.
inline int firstQuantiser(const QByteArray &jpeg)
{
    const qsizetype at = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    return at < 0 || at + 5 >= jpeg.size() ? -1 : static_cast<unsigned char>(jpeg[at + 5]);
}

} // namespace tooltest
