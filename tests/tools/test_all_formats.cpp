// "All picture formats": a folder of today's pictures is taken whole, read by content, each
// output written in its source's format and named for it; without the option the tools keep
// their own lists.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/Decoder.h"
#include "platform/Formats.h"
#include "platform/Settings.h"
#include "tools/frm_Pusing.h"

#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <algorithm>

namespace {

class AllFormats : public tooltest::ToolFixture {
protected:
    AllFormats()
    {
        const QImage land = testsupport::gradientImage(300, 200).convertToFormat(QImage::Format_RGB32);
        const QImage port = land.transformed(QTransform().rotate(90));
        for (const auto &[name, format] : std::vector<std::pair<const char *, const char *>>{
                 {"IMG_1.jpeg", "jpeg"}, {"shot.png", "png"}, {"web.webp", "webp"},
                 {"scan.tiff", "tiff"}, {"old.bmp", "bmp"}, {"photo.jfif", "jpeg"}}) {
            EXPECT_TRUE(land.save(in(QString::fromLatin1(name)), format)) << name;
            const QString portName = QStringLiteral("p_") + QString::fromLatin1(name);
            EXPECT_TRUE(port.save(in(portName), format)) << name;
        }
        // Its name says JPEG, its content is PNG.
        EXPECT_TRUE(land.save(in(QStringLiteral("named.jpg")), "png"));
    }
    int run(int (*command)(app::CliSession &, const QStringList &), const QStringList &args)
    {
        app::CliSession session;
        const int status = command(session, args);
        messages = session.toolkit.messages;
        return status;
    }
    QString formatOf(const QString &name) const
    {
        return QString::fromLatin1(QImageReader(out + QLatin1Char('/') + name).format());
    }
    std::vector<platform::ScriptedToolkit::Message> messages;
};

} // namespace

TEST_F(AllFormats, EveryPictureIsTakenByContentAndWrittenInItsFormatWithTheMark)
{
    const QStringList args = {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                              QStringLiteral("--text"), QStringLiteral("Sample"), QStringLiteral("--at"),
                              QStringLiteral("5,5")};
    EXPECT_EQ(run(app::cliWatermark, args + QStringList{QStringLiteral("--all-formats")}), app::kExitOk);
    EXPECT_TRUE(messages.back().text.contains(QStringLiteral("Total invalid file(s) : 0")));
    const std::map<QString, QString> expected = {
        {QStringLiteral("awtx-IMG_1.jpeg"), QStringLiteral("jpeg")}, {QStringLiteral("awtx-shot.png"), QStringLiteral("png")},
        {QStringLiteral("awtx-web.webp"), QStringLiteral("webp")},    {QStringLiteral("awtx-scan.tiff"), QStringLiteral("tiff")},
        {QStringLiteral("awtx-old.bmp"), QStringLiteral("bmp")},      {QStringLiteral("awtx-photo.jfif"), QStringLiteral("jpeg")},
        {QStringLiteral("awtx-named.png"), QStringLiteral("png")}};
    QStringList names;
    for (const auto &[name, format] : expected) {
        names << name;
        if (name != QStringLiteral("awtx-named.png"))
            names << QStringLiteral("awtx-p_") + name.mid(5);
        EXPECT_EQ(formatOf(name), format) << name.toStdString();
        // The mark's white text over the dark corner of the gradient.
        const QImage img = QImage(out + QLatin1Char('/') + name).convertToFormat(QImage::Format_RGB32);
        const QImage clean = QImage(in(name.mid(5) == QStringLiteral("named.png") ? QStringLiteral("named.jpg")
                                                                                  : name.mid(5)))
                                 .convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(img.size(), clean.size()) << name.toStdString();
        EXPECT_NE(img.copy(0, 0, 60, 30), clean.copy(0, 0, 60, 30)) << name.toStdString();
    }
    names.sort(Qt::CaseInsensitive);
    EXPECT_EQ(outFiles(), names);
    EXPECT_EQ(QImage(out + QStringLiteral("/awtx-p_web.webp")).size(), QSize(200, 300));
}

TEST_F(AllFormats, WithoutTheOptionTheToolsKeepTheirOwnListsAndOneFileStaysAFault)
{
    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                      QStringLiteral("--text"), QStringLiteral("x")}),
              app::kExitOk);
    EXPECT_EQ(outFiles(), (QStringList{QStringLiteral("awtx-named.jpg"), QStringLiteral("awtx-old.bmp"),
                                       QStringLiteral("awtx-p_old.bmp")}));
    // The PNG named .jpg is written as its name says, as the tool always did.
    EXPECT_EQ(formatOf(QStringLiteral("awtx-named.jpg")), QStringLiteral("jpeg"));
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--file"), in(QStringLiteral("web.webp")), QStringLiteral("--target"),
                                      out, QStringLiteral("--text"), QStringLiteral("x")}),
              app::kExitInputFault);
    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--file"), in(QStringLiteral("web.webp")), QStringLiteral("--target"),
                                      out, QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--all-formats")}),
              app::kExitOk);
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("awtx-web.webp")});
}

TEST_F(AllFormats, ALosslessTurnIsForJpegContentOnly)
{
    EXPECT_EQ(run(app::cliRotate, {QStringLiteral("--file"), in(QStringLiteral("named.jpg")), QStringLiteral("--target"),
                                   out, QStringLiteral("--plus"), QStringLiteral("--original-size"),
                                   QStringLiteral("--lossless"), QStringLiteral("--all-formats")}),
              app::kExitOk);
    ASSERT_EQ(outFiles().size(), 1);
    EXPECT_EQ(formatOf(outFiles().front()), QStringLiteral("png"));
    EXPECT_EQ(QImage(out + QLatin1Char('/') + outFiles().front()).size(), QSize(200, 300));

    // A bitmap asked to go out as JPEG is decoded and turned, never handed to the JPEG turn.
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    EXPECT_EQ(run(app::cliRotate, {QStringLiteral("--file"), in(QStringLiteral("old.bmp")), QStringLiteral("--target"),
                                   out, QStringLiteral("--minus"), QStringLiteral("--original-size"),
                                   QStringLiteral("--lossless"), QStringLiteral("--format"), QStringLiteral("jpg")}),
              app::kExitOk);
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("rot-old.jpg")});
    EXPECT_EQ(formatOf(QStringLiteral("rot-old.jpg")), QStringLiteral("jpeg"));
    EXPECT_EQ(QImage(out + QStringLiteral("/rot-old.jpg")).size(), QSize(200, 300));
}

TEST_F(AllFormats, TheMenuEntryIsRememberedInBothLanguages)
{
    QTemporaryDir config;
    const QByteArray saved = qgetenv("PIXMAR_CONFIG");
    qputenv("PIXMAR_CONFIG", config.filePath(QStringLiteral("pixmar.conf")).toUtf8());
    platform::setting(QStringLiteral("x"));
    {
        frm_Pusing r;
        r.activate();
        r.Form_Activate();
        EXPECT_EQ(r.mnu_options->allFormats->text(), "All Picture Formats");
        r.mnu_options->allFormats->trigger();
        EXPECT_TRUE(r.run().output.allFormats);
        EXPECT_EQ(r.run().accepted(), platform::formats::allPictureExtensions());
        shell::setVarbahasa(QStringLiteral("bm"));
        r.Form_Activate();
        EXPECT_EQ(r.mnu_options->allFormats->text(), "Semua Format Gambar");
        shell::setVarbahasa(QStringLiteral("eng"));
    }
    frm_Pusing again;
    again.activate();
    again.Form_Activate();
    EXPECT_TRUE(again.run().output.allFormats);
    EXPECT_TRUE(again.mnu_options->allFormats->isChecked());
    qputenv("PIXMAR_CONFIG", saved);
    platform::setting(QStringLiteral("x"));
}

TEST_F(AllFormats, PhonePhotosInHeicAndAvifStayInTheirFormatAndDamagedOnesAreRefusedByName)
{
    QDir(src).removeRecursively();
    QDir().mkpath(src);
    const QImage land = testsupport::gradientImage(320, 240).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(land.save(tmp.filePath(QStringLiteral("land.jpg")), "jpeg"));
    ASSERT_TRUE(land.transformed(QTransform().rotate(90)).save(tmp.filePath(QStringLiteral("port.jpg")), "jpeg"));
    // Half of it clear, to be kept clear.
    QImage clear = land.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < clear.height(); ++y)
        for (int x = 0; x < clear.width() / 2; ++x)
            clear.setPixel(x, y, qRgba(0, 0, 0, 0));
    ASSERT_TRUE(clear.save(tmp.filePath(QStringLiteral("clear.png")), "png"));
    // Made with the encoder the machine's HEIF library brings (libheif-examples).
    auto encode = [this](const QString &from, const QString &to, bool avif) {
        QStringList args{QStringLiteral("-q"), QStringLiteral("50"), QStringLiteral("-o"), in(to), tmp.filePath(from)};
        if (avif)
            args.prepend(QStringLiteral("-A"));
        return QProcess::execute(QStringLiteral("heif-enc"), args) == 0;
    };
    ASSERT_TRUE(encode(QStringLiteral("land.jpg"), QStringLiteral("land.heic"), false)) << "heif-enc is needed";
    ASSERT_TRUE(encode(QStringLiteral("port.jpg"), QStringLiteral("port.heic"), false));
    ASSERT_TRUE(encode(QStringLiteral("land.jpg"), QStringLiteral("sky.avif"), true));
    ASSERT_TRUE(encode(QStringLiteral("clear.png"), QStringLiteral("clear.heic"), false));
    QFile whole(in(QStringLiteral("land.heic")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    testsupport::writeBytes(in(QStringLiteral("cut.heic")), whole.read(whole.size() / 3));
    testsupport::writeBytes(in(QStringLiteral("fake.avif")), "....ftypavif not a picture");

    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                      QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--original-size"),
                                      QStringLiteral("--all-formats")}),
              app::kExitFailed);
    // This machine's HEIF library encodes both (Debian's does); without an encoder they would
    // go out as JPEG.
    using platform::formats::Id;
    ASSERT_TRUE(platform::formats::writable(platform::formats::get(Id::Heic)));
    ASSERT_TRUE(platform::formats::writable(platform::formats::get(Id::Avif)));
    EXPECT_EQ(outFiles(), (QStringList{QStringLiteral("awtx-clear.heic"), QStringLiteral("awtx-land.heic"),
                                       QStringLiteral("awtx-port.heic"), QStringLiteral("awtx-sky.avif")}));
    const auto decoded = [this](const char *name) { return platform::decoder::decode(out + QLatin1Char('/') + QLatin1String(name)); };
    EXPECT_EQ(decoded("awtx-land.heic").format, "heif");
    EXPECT_EQ(decoded("awtx-land.heic").image.size(), QSize(320, 240));
    EXPECT_EQ(decoded("awtx-port.heic").image.size(), QSize(240, 320));
    EXPECT_EQ(decoded("awtx-sky.avif").image.size(), QSize(320, 240));
    QFile sky(out + QStringLiteral("/awtx-sky.avif"));
    ASSERT_TRUE(sky.open(QIODevice::ReadOnly));
    EXPECT_EQ(platform::formats::byContent(sky.read(16)), &platform::formats::get(Id::Avif));
    const QImage kept = decoded("awtx-clear.heic").image;
    ASSERT_TRUE(kept.hasAlphaChannel());
    EXPECT_EQ(qAlpha(kept.pixel(40, 200)), 0);
    EXPECT_EQ(qAlpha(kept.pixel(280, 200)), 255);
    for (const char *bad : {"cut.heic", "fake.avif"}) {
        const bool named = std::any_of(messages.begin(), messages.end(), [bad](const auto &m) {
            return m.text.contains(QLatin1String(bad)) && m.text.contains(QStringLiteral("Continue?"));
        });
        EXPECT_TRUE(named) << bad;
    }
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 4);   // nothing half-written
}

TEST_F(AllFormats, OneOutputFormatForAllAndTwoPicturesMeetingOnOneNameKeepTheFirst)
{
    const QStringList base = {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                              QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--all-formats")};
    EXPECT_EQ(run(app::cliWatermark, base + QStringList{QStringLiteral("--format"), QStringLiteral("webp")}),
              app::kExitOk);
    const QStringList written = outFiles();
    EXPECT_EQ(written.size(), 13);
    for (const QString &name : written) {
        EXPECT_TRUE(name.endsWith(QStringLiteral(".webp"))) << name.toStdString();
        EXPECT_EQ(formatOf(name), QStringLiteral("webp")) << name.toStdString();
    }
    EXPECT_EQ(run(app::cliWatermark, base + QStringList{QStringLiteral("--format"), QStringLiteral("gif")}),
              app::kExitInputFault);

    // old.bmp and old.png both become awtx-old.png: whichever comes second fails, by name,
    // and the first output stays; any thread count gives the same.
    const QImage first(in(QStringLiteral("old.bmp")));
    ASSERT_TRUE(first.mirrored().save(in(QStringLiteral("old.png")), "png"));
    for (const char *jobs : {"1", "3"}) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        EXPECT_EQ(run(app::cliWatermark, base + QStringList{QStringLiteral("--format"), QStringLiteral("png"),
                                                            QStringLiteral("--jobs"), QLatin1String(jobs)}),
                  app::kExitFailed);
        const auto told = std::count_if(messages.begin(), messages.end(), [](const auto &m) {
            return m.text.contains(QStringLiteral("awtx-old.png")) && m.text.contains(QStringLiteral("already written"));
        });
        EXPECT_EQ(told, 1) << jobs;
        EXPECT_EQ(outFiles().size(), 13) << jobs;   // fourteen pictures, one name met twice
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 13) << jobs;   // nothing staged left
    }
}

TEST_F(AllFormats, TheOutputFormatMenuIsRemembered)
{
    QTemporaryDir config;
    const QByteArray saved = qgetenv("PIXMAR_CONFIG");
    qputenv("PIXMAR_CONFIG", config.filePath(QStringLiteral("pixmar.conf")).toUtf8());
    platform::setting(QStringLiteral("x"));
    {
        frm_Pusing r;
        r.activate();
        r.Form_Activate();
        EXPECT_EQ(r.mnu_options->formatMenu->title(), "Output Format");
        EXPECT_TRUE(r.mnu_options->formatActions[0]->isChecked());
        r.mnu_options->formatActions[2]->trigger();   // PNG
        EXPECT_EQ(r.run().output.format, platform::formats::Id::Png);
        EXPECT_TRUE(r.lbloptions->text().contains(QStringLiteral("output PNG")));
    }
    frm_Pusing again;
    again.activate();
    again.Form_Activate();
    EXPECT_EQ(again.run().output.format, platform::formats::Id::Png);
    again.mnu_options->formatActions[0]->trigger();
    EXPECT_EQ(again.run().output, tools::OutputOptions());
    qputenv("PIXMAR_CONFIG", saved);
    platform::setting(QStringLiteral("x"));
}

TEST_F(AllFormats, TransparencyIsKeptWhereTheOutputHoldsItAndTheMarkDrawnOnThePicture)
{
    QDir(src).removeRecursively();
    QDir().mkpath(src);
    // The left half opaque red, the right half fully transparent.
    QImage half(300, 200, QImage::Format_ARGB32);
    half.fill(Qt::transparent);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 150; ++x)
            half.setPixel(x, y, qRgba(200, 30, 30, 255));
    for (const char *format : {"png", "webp", "tiff"})
        ASSERT_TRUE(half.save(in(QStringLiteral("half.") + QLatin1String(format)), format));
    const QString logo = tmp.filePath(QStringLiteral("logo.bmp"));
    ASSERT_TRUE(testsupport::writeSolid(logo, 40, 20, Qt::white));
    const QStringList common = {QStringLiteral("--dir"), src, QStringLiteral("--target"), out, QStringLiteral("--at"),
                                QStringLiteral("5,5"), QStringLiteral("--all-formats")};
    EXPECT_EQ(run(app::cliWatermark, common + QStringList{QStringLiteral("--text"), QStringLiteral("Sample")}), app::kExitOk);
    EXPECT_EQ(run(app::cliText, common + QStringList{QStringLiteral("--text"), QStringLiteral("Sample"),
                                                     QStringLiteral("--color"), QStringLiteral("white")}),
              app::kExitOk);
    EXPECT_EQ(run(app::cliLogo, common + QStringList{QStringLiteral("--logo"), logo}), app::kExitOk);
    ASSERT_EQ(outFiles().size(), 9);
    for (const QString &name : outFiles()) {
        const QImage img = QImage(out + QLatin1Char('/') + name).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(img.size(), QSize(300, 200)) << name.toStdString();
        EXPECT_EQ(qAlpha(img.pixel(250, 100)), 0) << name.toStdString();
        EXPECT_EQ(qAlpha(img.pixel(100, 150)), 255) << name.toStdString();
        bool marked = false;
        for (int y = 5; y < 25 && !marked; ++y)
            for (int x = 5; x < 45 && !marked; ++x)
                marked = qGreen(img.pixel(x, y)) > 80;   // the mark lightens the red
        EXPECT_TRUE(marked) << name.toStdString();
    }

    // Without the format options the tools write what they always did: an opaque picture.
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    EXPECT_EQ(run(app::cliText, {QStringLiteral("--file"), in(QStringLiteral("half.png")), QStringLiteral("--target"),
                                 out, QStringLiteral("--text"), QStringLiteral("x")}),
              app::kExitOk);
    EXPECT_FALSE(QImage(out + QStringLiteral("/adt-half.png")).hasAlphaChannel());
}

TEST_F(AllFormats, APictureThatFailedLeavesItsOutputNameToTheNextThatTakesIt)
{
    // old.bmp comes first and is no picture; old.png, written as PNG under the same name,
    // is then the only one to write it, and nothing says it was taken.
    QDir(src).removeRecursively();
    QDir().mkpath(src);
    testsupport::writeBytes(in(QStringLiteral("old.bmp")), QByteArray("BM this is no bitmap at all"));
    const QImage picture = testsupport::gradientImage(120, 80).mirrored().convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(picture.save(in(QStringLiteral("old.png")), "png"));
    for (const char *jobs : {"1", "3"}) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        EXPECT_EQ(run(app::cliText, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out, QStringLiteral("--text"),
                                     QStringLiteral("x"), QStringLiteral("--at"), QStringLiteral("100,60"),
                                     QStringLiteral("--format"), QStringLiteral("png"), QStringLiteral("--jobs"),
                                     QLatin1String(jobs)}),
                  app::kExitFailed);
        for (const auto &m : messages)
            EXPECT_FALSE(m.text.contains(QStringLiteral("already written"))) << m.text.toStdString();
        ASSERT_EQ(outFiles(), QStringList{QStringLiteral("adt-old.png")}) << jobs;
        // The PNG's picture, not anything of the failed bitmap's.
        const QImage written = QImage(at(QStringLiteral("adt-old.png"))).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(written.size(), picture.size());
        EXPECT_EQ(written.copy(0, 0, 60, 40), picture.copy(0, 0, 60, 40)) << jobs;
    }
}

TEST_F(AllFormats, AnOutputFormatWithoutAllFormatsKeepsTheToolsListAndWritesOnlyThatFormat)
{
    for (const char *format : {"png", "webp"}) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                          QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--format"),
                                          QLatin1String(format)}),
                  app::kExitOk);
        // The watermark takes .jpg and .bmp by name: named.jpg (PNG inside), old.bmp and
        // p_old.bmp, each written in the one format, named for it.
        EXPECT_EQ(outFiles(), (QStringList{QStringLiteral("awtx-named."), QStringLiteral("awtx-old."),
                                           QStringLiteral("awtx-p_old.")}
                                   .replaceInStrings(QRegularExpression(QStringLiteral("$")), QLatin1String(format))))
            << format;
        for (const QString &name : outFiles())
            EXPECT_EQ(formatOf(name), QLatin1String(format)) << name.toStdString();
    }
}
