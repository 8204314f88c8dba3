// The picture tools' output options: the menu in both languages, remembered between sessions,
// shown while set; and the same on the command line, where the defaults write what the tools
// always wrote.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/Settings.h"
#include "tools/frm_Addtext.h"
#include "tools/frm_Pusing.h"
#include "tools/frm_WaterLogo.h"
#include "tools/frm_Watertext.h"

#include <QLabel>
#include <QMenu>

namespace {

using tooltest::firstQuantiser;

// libjpeg's scaling of the standard luminance table's first value (16) for a quality.
int expectedQuantiser(int quality)
{
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    return std::clamp((16 * scale + 50) / 100, 1, 255);
}

class OutputOptionsTest : public tooltest::ToolFixture {
protected:
    OutputOptionsTest()
    {
        qputenv("PIXMAR_CONFIG", config.filePath(QStringLiteral("pixmar.conf")).toUtf8());
        platform::setting(QStringLiteral("x"));   // the file of this test is read afresh
    }
    ~OutputOptionsTest() override
    {
        qputenv("PIXMAR_CONFIG", saved);
        platform::setting(QStringLiteral("x"));
    }
    int watermark(const QStringList &extra)
    {
        app::CliSession session;
        return app::cliWatermark(session, QStringList{QStringLiteral("--file"), in(QStringLiteral("p.jpg")),
                                                      QStringLiteral("--target"), out, QStringLiteral("--text"),
                                                      QStringLiteral("X"), QStringLiteral("--at"),
                                                      QStringLiteral("10,10")} + extra);
    }

    QTemporaryDir config;
    QByteArray saved = qgetenv("PIXMAR_CONFIG");
};

} // namespace

TEST_F(OutputOptionsTest, QualityOnTheCommandLineAndTheDefaultWritesWhatItAlwaysDid)
{
    ASSERT_TRUE(testsupport::gradientImage(200, 120).save(in(QStringLiteral("p.jpg")), "JPEG", 95));
    ASSERT_EQ(watermark({}), app::kExitOk);
    const QByteArray plain = testsupport::readBytes(at(QStringLiteral("awtx-p.jpg")));
    EXPECT_EQ(firstQuantiser(plain), expectedQuantiser(75));
    QFile::remove(at(QStringLiteral("awtx-p.jpg")));
    ASSERT_EQ(watermark({QStringLiteral("--quality"), QStringLiteral("75")}), app::kExitOk);
    EXPECT_EQ(testsupport::readBytes(at(QStringLiteral("awtx-p.jpg"))), plain);
    for (int q : {92, 30}) {
        QFile::remove(at(QStringLiteral("awtx-p.jpg")));
        ASSERT_EQ(watermark({QStringLiteral("--quality"), QString::number(q)}), app::kExitOk);
        EXPECT_EQ(firstQuantiser(testsupport::readBytes(at(QStringLiteral("awtx-p.jpg")))), expectedQuantiser(q));
    }
    for (const char *bad : {"0", "101", "high"})
        EXPECT_EQ(watermark({QStringLiteral("--quality"), QString::fromLatin1(bad)}), app::kExitInputFault);
    app::CliSession session;
    EXPECT_EQ(app::cliRotate(session, {QStringLiteral("--file"), in(QStringLiteral("p.jpg")), QStringLiteral("--target"),
                                       out, QStringLiteral("--plus"), QStringLiteral("--lossless")}),
              app::kExitInputFault);   // lossless turns need the picture's own size
}

TEST_F(OutputOptionsTest, EveryToolHasTheMenuInBothLanguagesRememberedAndShownWhileSet)
{
    auto check = [this](tools::ToolWindow &w, bool lossless) {
        w.activate();
        w.Form_Activate();
        ASSERT_NE(w.mnu_options, nullptr);
        EXPECT_EQ(w.mnu_options->menu->title(), "Options");
        EXPECT_EQ(w.mnu_options->keepMetadata->text(), "Keep Photo Information");
        EXPECT_EQ(w.mnu_options->lossless != nullptr, lossless);
        EXPECT_TRUE(w.lbloptions->text().isEmpty());
        w.mnu_options->qualityActions[3]->trigger();   // 92
        w.mnu_options->originalSize->trigger();
        EXPECT_EQ(w.run().output.quality, 92);
        EXPECT_TRUE(w.run().output.originalSize);
        EXPECT_EQ(w.lbloptions->text(), "Options : JPEG quality 92, Output at Picture's Own Size");
        shell::setVarbahasa(QStringLiteral("bm"));
        w.Form_Activate();
        EXPECT_EQ(w.mnu_options->menu->title(), "Pilihan");
        EXPECT_EQ(w.lbloptions->text(), "Pilihan : kualiti JPEG 92, Keluaran pada Saiz Asal Gambar");
        shell::setVarbahasa(QStringLiteral("eng"));
    };
    {
        frm_Addtext a;
        check(a, false);
        frm_Watertext t;
        check(t, false);
        frm_WaterLogo l;
        check(l, false);
        frm_Pusing r;
        check(r, true);
        r.mnu_options->lossless->trigger();
        EXPECT_TRUE(r.run().output.lossless);
        r.mnu_options->threadsActions[2]->trigger();
        EXPECT_EQ(r.run().output.jobs, 2);
        EXPECT_EQ(r.mnu_options->threadsMenu->title(), "Bebenang Kerja");   // captions of the last activation
        EXPECT_TRUE(r.lbloptions->text().endsWith(", Lossless Rotation, 2 threads"));
    }
    // A new session: each tool reads its own choices back; the options stay until unset.
    frm_Pusing r;
    r.activate();
    r.Form_Activate();
    EXPECT_EQ(r.run().output.quality, 92);
    EXPECT_TRUE(r.run().output.originalSize && r.run().output.lossless);
    EXPECT_TRUE(r.mnu_options->qualityActions[3]->isChecked());
    EXPECT_FALSE(r.lbloptions->text().isEmpty());
    r.mnu_options->qualityActions[1]->trigger();   // 75
    r.mnu_options->originalSize->trigger();
    r.mnu_options->lossless->trigger();
    EXPECT_EQ(r.run().output.jobs, 2);
    EXPECT_TRUE(r.mnu_options->threadsActions[2]->isChecked());
    r.mnu_options->threadsActions[0]->trigger();   // one per core
    EXPECT_EQ(r.run().output, tools::OutputOptions());
    EXPECT_TRUE(r.lbloptions->text().isEmpty());
}
