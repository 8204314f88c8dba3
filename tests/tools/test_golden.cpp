// The golden set: every picture tool under every output option, run from the command line on
// a folder of pictures of every kind, with the SHA-256 of each output and each report kept in
// tests/data/golden.txt. Any change that alters one byte a user gets shows here as a diff.
// PIXMAR_GOLDEN_UPDATE=1 writes the manifest anew from the run (for a change that means it).
#include "ToolTestSupport.h"

#include "app/Cli.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cstdio>
#include <map>
#include <set>

namespace {

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

void put16(QByteArray &b, quint16 v)
{
    char le[2];
    qToLittleEndian(v, le);
    b.append(le, 2);
}

void put32(QByteArray &b, quint32 v)
{
    char le[4];
    qToLittleEndian(v, le);
    b.append(le, 4);
}

// A bitmap of `bits` per pixel (1, 4, 8, 24 or 32) written byte by byte, so that no encoder's
// choices enter the inputs. Paletted ones get a grey ramp and a diagonal pattern of indices.
QByteArray bitmapOfDepth(int w, int h, int bits)
{
    const int colours = bits <= 8 ? 1 << bits : 0;
    const int stride = ((w * bits + 31) / 32) * 4;
    const quint32 pixelsAt = 14 + 40 + 4 * colours;
    QByteArray b("BM");
    put32(b, pixelsAt + quint32(stride * h));
    put32(b, 0);
    put32(b, pixelsAt);
    put32(b, 40);
    put32(b, quint32(w));
    put32(b, quint32(h));   // bottom-up
    put16(b, 1);
    put16(b, quint16(bits));
    put32(b, 0);   // uncompressed
    put32(b, quint32(stride * h));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, quint32(colours));
    put32(b, 0);
    for (int i = 0; i < colours; ++i) {
        const int v = colours == 1 ? 0 : i * 255 / (colours - 1);
        b.append(char(v)).append(char(255 - v)).append(char(v / 2)).append('\0');
    }
    const QImage g = testsupport::gradientImage(w, h);
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb p = g.pixel(x, y);
            if (bits == 24 || bits == 32) {
                char *px = row.data() + x * (bits / 8);
                px[0] = char(qBlue(p));
                px[1] = char(qGreen(p));
                px[2] = char(qRed(p));
                if (bits == 32)
                    px[3] = char(0xFF);
            } else {
                const int index = (x + 2 * y) % colours;
                const int bit = x * bits;
                row[bit / 8] = char(quint8(row[bit / 8]) | (index << (8 - bits - bit % 8)));
            }
        }
        b += row;
    }
    return b;
}

// A PNG with a varying alpha channel, its pixels stored without compression.
QByteArray pngWithAlpha(int w, int h)
{
    const QImage g = testsupport::gradientImage(w, h);
    QByteArray rows;
    for (int y = 0; y < h; ++y) {
        rows += '\0';
        for (int x = 0; x < w; ++x) {
            const QRgb p = g.pixel(x, y);
            rows.append(char(qRed(p))).append(char(qGreen(p))).append(char(qBlue(p)));
            rows.append(char((x * 255) / std::max(1, w - 1)));
        }
    }
    return testsupport::pngFile({{"IHDR", testsupport::pngHeader(quint32(w), quint32(h), 8, 6)},
                                 {"IDAT", testsupport::pngStoredData(rows)},
                                 {"IEND", {}}});
}

// A little-endian TIFF directory (entries in tag order); values longer than four bytes go
// after it, from `dataAt`.
struct TiffEntry {
    quint16 tag, type;
    quint32 count;
    QByteArray value;   // the raw little-endian value bytes
};

QByteArray tiffDirectory(const std::vector<TiffEntry> &entries, quint32 dirAt, QByteArray *data)
{
    QByteArray dir;
    put16(dir, quint16(entries.size()));
    quint32 dataAt = dirAt + 2 + 12 * quint32(entries.size()) + 4;
    for (const TiffEntry &e : entries) {
        put16(dir, e.tag);
        put16(dir, e.type);
        put32(dir, e.count);
        if (e.value.size() <= 4) {
            dir += e.value + QByteArray(4 - e.value.size(), '\0');
        } else {
            put32(dir, dataAt + quint32(data->size()));
            *data += e.value;
            if (data->size() % 2)
                *data += '\0';
        }
    }
    put32(dir, 0);   // no next directory
    return dir;
}

QByteArray le16(quint16 v) { QByteArray b; put16(b, v); return b; }
QByteArray le32(quint32 v) { QByteArray b; put32(b, v); return b; }
QByteArray ascii(const char *s) { return QByteArray(s) + '\0'; }

// A camera's EXIF segment: maker, model, time taken and orientation 6 (stored sideways).
QByteArray cameraExif()
{
    QByteArray data;
    const QByteArray dir = tiffDirectory({{0x010F, 2, 9, ascii("PixCorp.")},
                                          {0x0110, 2, 9, ascii("PixCam 7")},
                                          {0x0112, 3, 1, le16(6)},
                                          {0x0132, 2, 20, ascii("2021:06:01 12:30:00")}},
                                         8, &data);
    const QByteArray body = QByteArray("Exif\0\0II*\0\x08\0\0\0", 14) + dir + data;
    QByteArray seg("\xFF\xE1", 2);
    seg.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xFF));
    return seg + body;
}

// An uncompressed RGB TIFF in one strip.
QByteArray tiffPicture(int w, int h)
{
    const QImage g = testsupport::gradientImage(w, h);
    QByteArray pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = g.pixel(x, y);
            pixels.append(char(qRed(p))).append(char(qGreen(p))).append(char(qBlue(p)));
        }
    const quint32 pixelsAt = 8;
    QByteArray data;
    const quint32 dirAt = pixelsAt + quint32(pixels.size());
    const QByteArray dir = tiffDirectory({{256, 3, 1, le16(quint16(w))},
                                          {257, 3, 1, le16(quint16(h))},
                                          {258, 3, 3, le16(8) + le16(8) + le16(8)},
                                          {259, 3, 1, le16(1)},
                                          {262, 3, 1, le16(2)},
                                          {273, 4, 1, le32(pixelsAt)},
                                          {277, 3, 1, le16(3)},
                                          {278, 3, 1, le16(quint16(h))},
                                          {279, 4, 1, le32(quint32(pixels.size()))}},
                                         dirAt, &data);
    return QByteArray("II*\0", 4) + le32(dirAt) + pixels + dir + data;
}

// The pictures every tool is run on: each kind a user may hand it, the ones it refuses too.
void writeSources(const QString &src)
{
    auto write = [&src](const char *name, const QByteArray &bytes) {
        ASSERT_TRUE(testsupport::writeBytes(src + QLatin1Char('/') + QLatin1String(name), bytes)) << name;
    };
    write("blocks.jpg", testsupport::jpegBytes(64, 48));
    write("odd.jpg", testsupport::jpegBytes(101, 75));
    write("tall.jpg", testsupport::jpegBytes(30, 200));
    write("wide.jpg", testsupport::jpegBytes(900, 300));
    // Beyond the window each way: fitted and own-size outputs part here.
    write("panorama.jpg", testsupport::jpegBytes(2400, 160));
    write("tower.jpg", testsupport::jpegBytes(120, 1400));
    // Fitted, its two factors differ: a click far across tells which one places the mark.
    write("strip.bmp", bitmapOfDepth(3000, 35, 24));
    write("progressive.jpg", testsupport::jpegBytes(80, 64, true));
    write("photo.jpg", testsupport::jpegBytes(160, 96).insert(2, cameraExif()));
    for (int bits : {1, 4, 8, 24, 32})
        write(QStringLiteral("depth%1.bmp").arg(bits).toLatin1().constData(),
              bitmapOfDepth(29 + bits, 17 + bits / 2, bits));
    write("alpha.png", pngWithAlpha(48, 40));
    write("scan.tif", tiffPicture(40, 30));
    write("notes.jpg", "this is not a picture\n");
    write("cut.jpg", testsupport::jpegBytes(120, 90).left(700));
}

// The program's entry point keeps the offscreen platform's notes on what it leaves out from
// the terminal; in-process the test does the same, so that the reports are the user's.
QtMessageHandler g_passOn = nullptr;

void withoutOffscreenNotes(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("This plugin does not support")))
        return;
    g_passOn(type, context, msg);
}

// One command and what it left: its exit status, what it printed, the files of its folder.
struct Record {
    int status = -1;
    QString out, err;
    std::map<QString, QString> files;   // name, SHA-256
    bool operator==(const Record &) const = default;
};

class Golden : public ::testing::Test {
protected:
    Golden() { shell::setVarbahasa(QStringLiteral("eng")); }
    ~Golden() override { shell::setVarbahasa(QStringLiteral("eng")); }

    QString path(const QString &name) const { return tmp.path() + QLatin1Char('/') + name; }

    // The temporary folder is different each run: it reads as $TMP in the manifest.
    QString normalised(QString report) const
    {
        report.replace(QDir(tmp.path()).canonicalPath(), QStringLiteral("$TMP"));
        return report.replace(tmp.path(), QStringLiteral("$TMP"));
    }

    static std::map<QString, QString> hashes(const QString &folder)
    {
        std::map<QString, QString> files;
        const QDir dir(folder);
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
            files[name] = sha256(testsupport::readBytes(dir.filePath(name)));
        return files;
    }

    Record run(const QStringList &args, const QString &folder)
    {
        Record r;
        {
            testsupport::Captured out(stdout), err(stderr);
            g_passOn = qInstallMessageHandler(withoutOffscreenNotes);
            r.status = app::runCommandLine(args);
            qInstallMessageHandler(g_passOn);
            r.out = normalised(out.text());
            r.err = normalised(err.text());
        }
        r.files = hashes(folder);
        return r;
    }

    QTemporaryDir tmp;
};

QStringList manifestLines(const std::map<QString, Record> &records, const std::map<QString, QString> &sources)
{
    QStringList lines;
    for (const auto &[name, r] : records) {
        lines << QStringLiteral("%1 status %2").arg(name).arg(r.status);
        lines << QStringLiteral("%1 stdout %2").arg(name, sha256(r.out.toUtf8()));
        lines << QStringLiteral("%1 stderr %2").arg(name, sha256(r.err.toUtf8()));
        for (const auto &[file, hash] : r.files)
            lines << QStringLiteral("%1 file %2 %3").arg(name, file, hash);
    }
    for (const auto &[file, hash] : sources)
        lines << QStringLiteral("source file %1 %2").arg(file, hash);
    lines.sort();
    return lines;
}

QStringList readManifest(const QString &path)
{
    QStringList lines;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')))
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            lines << line;
    return lines;
}

bool writeManifest(const QString &path, const QStringList &lines)
{
    const QByteArray text =
        "# The golden set of test_golden.cpp: SHA-256 of every output file and report.\n"
        "# PIXMAR_GOLDEN_UPDATE=1 on a run of that test writes it anew.\n" +
        lines.join(QLatin1Char('\n')).toUtf8() + '\n';
    return testsupport::writeBytes(path, text);
}

} // namespace

TEST_F(Golden, EveryToolAndOptionGivesTheRecordedOutputsAndReports)
{
    const QString src = path(QStringLiteral("src"));
    QDir().mkpath(src);
    writeSources(src);
    const QString logo = path(QStringLiteral("logo/logo.png"));
    QDir().mkpath(path(QStringLiteral("logo")));
    ASSERT_TRUE(testsupport::writeBytes(logo, pngWithAlpha(24, 16)));

    const std::vector<std::pair<QString, QStringList>> tools = {
        {QStringLiteral("text"),
         {QStringLiteral("text"), QStringLiteral("--text"), QStringLiteral("Pixmar 20"), QStringLiteral("--font"),
          QStringLiteral("Liberation Sans"), QStringLiteral("--size"), QStringLiteral("14"),
          QStringLiteral("--color"), QStringLiteral("yellow"), QStringLiteral("--at"), QStringLiteral("12,8")}},
        {QStringLiteral("watermark"),
         {QStringLiteral("watermark"), QStringLiteral("--text"), QStringLiteral("Pixmar"), QStringLiteral("--font"),
          QStringLiteral("Liberation Sans"), QStringLiteral("--size"), QStringLiteral("16"), QStringLiteral("--bold"),
          QStringLiteral("--level"), QStringLiteral("50%"), QStringLiteral("--at"), QStringLiteral("20,10")}},
        {QStringLiteral("logo"),
         {QStringLiteral("logo"), QStringLiteral("--logo"), logo, QStringLiteral("--level"), QStringLiteral("30%"),
          QStringLiteral("--at"), QStringLiteral("6,5")}},
        {QStringLiteral("rotate-plus"), {QStringLiteral("rotate"), QStringLiteral("--plus")}},
        {QStringLiteral("rotate-minus"), {QStringLiteral("rotate"), QStringLiteral("--minus")}},
    };
    const std::vector<std::pair<QString, QStringList>> options = {
        {QStringLiteral("default"), {}},
        {QStringLiteral("original-size"), {QStringLiteral("--original-size")}},
        {QStringLiteral("quality"), {QStringLiteral("--quality"), QStringLiteral("92")}},
        {QStringLiteral("metadata"), {QStringLiteral("--keep-metadata")}},
        {QStringLiteral("jobs1"), {QStringLiteral("--jobs"), QStringLiteral("1")}},
    };

    std::map<QString, Record> records;
    const auto record = [&](const QString &name, const QStringList &global, const QStringList &command,
                            const QStringList &source) {
        const QString target = path(QStringLiteral("out/") + QString(name).replace(QLatin1Char('/'), QLatin1Char('_')));
        QDir().mkpath(target);
        records[name] = run(global + command + source + QStringList{QStringLiteral("--target"), target}, target);
    };
    const QStringList folder = {QStringLiteral("--dir"), src};
    for (const auto &[tool, command] : tools) {
        for (const auto &[option, words] : options)
            record(tool + QLatin1Char('/') + option, {}, command + words, folder);
        if (tool.startsWith(QLatin1String("rotate")))
            record(tool + QStringLiteral("/lossless"), {},
                   command + QStringList{QStringLiteral("--original-size"), QStringLiteral("--lossless")}, folder);
        else   // the last --at counts
            record(tool + QStringLiteral("/original-size-far-click"), {},
                   command + QStringList{QStringLiteral("--original-size"), QStringLiteral("--at"), QStringLiteral("300,3")},
                   folder);
        // One picture on its own goes through the load step alone.
        record(tool + QStringLiteral("/single"), {}, command,
               {QStringLiteral("--file"), src + QStringLiteral("/photo.jpg")});
        // Threads or not, a folder gives the same files and the same words.
        EXPECT_EQ(records[tool + QStringLiteral("/default")], records[tool + QStringLiteral("/jobs1")]) << tool.toStdString();
    }
    record(QStringLiteral("text/malay"), {QStringLiteral("--lang"), QStringLiteral("bm")}, tools[0].second, folder);
    record(QStringLiteral("watermark/on-error-stop"), {QStringLiteral("--on-error"), QStringLiteral("stop")},
           tools[1].second, folder);

    // The GIF of two folders, written into the last.
    const QString gifA = path(QStringLiteral("gif-a")), gifB = path(QStringLiteral("gif-b"));
    QDir().mkpath(gifA);
    QDir().mkpath(gifB);
    testsupport::writeBytes(gifA + QStringLiteral("/1.bmp"), bitmapOfDepth(24, 16, 24));
    testsupport::writeBytes(gifA + QStringLiteral("/2.bmp"), bitmapOfDepth(24, 16, 8));
    testsupport::writeBytes(gifA + QStringLiteral("/3.jpg"), testsupport::jpegBytes(24, 16));
    testsupport::writeBytes(gifB + QStringLiteral("/4.bmp"), bitmapOfDepth(30, 20, 4));
    records[QStringLiteral("gif/two-folders")] =
        run({QStringLiteral("gif"), QStringLiteral("--delay"), QStringLiteral("10"), gifA, QStringLiteral("--delay"),
             QStringLiteral("25"), gifB},
            gifB);

    // The sources are hashed after every run: a tool that touched one shows here too.
    const QStringList actual = manifestLines(records, hashes(src));
    const QString manifest = QStringLiteral(PIXMAR_GOLDEN_MANIFEST);
    if (qEnvironmentVariable("PIXMAR_GOLDEN_UPDATE") == QLatin1String("1")) {
        ASSERT_TRUE(writeManifest(manifest, actual)) << manifest.toStdString();
        std::printf("Golden manifest written: %s (%lld lines)\n", qPrintable(manifest),
                    static_cast<long long>(actual.size()));
        return;
    }
    const QStringList expected = readManifest(manifest);
    ASSERT_FALSE(expected.isEmpty()) << "no manifest at " << manifest.toStdString()
                                     << "; PIXMAR_GOLDEN_UPDATE=1 writes it";
    if (actual == expected)
        return;
    const std::set<QString> was(expected.begin(), expected.end()), now(actual.begin(), actual.end());
    QString diff;
    std::set<QString> changedRuns;
    for (const QString &line : expected)
        if (!now.count(line)) {
            diff += QStringLiteral("- ") + line + QLatin1Char('\n');
            changedRuns.insert(line.section(QLatin1Char(' '), 0, 0));
        }
    for (const QString &line : actual)
        if (!was.count(line)) {
            diff += QStringLiteral("+ ") + line + QLatin1Char('\n');
            changedRuns.insert(line.section(QLatin1Char(' '), 0, 0));
        }
    // What the changed runs printed now, to tell a changed word from a changed picture.
    for (const QString &name : changedRuns) {
        const auto it = records.find(name);
        if (it == records.end())
            continue;
        diff += QStringLiteral("\n%1 (exit %2) now prints:\n--- stdout\n%3--- stderr\n%4")
                    .arg(name)
                    .arg(it->second.status)
                    .arg(it->second.out, it->second.err);
    }
    ADD_FAILURE() << "The outputs or reports differ from " << manifest.toStdString()
                  << " (- recorded, + now):\n"
                  << diff.toStdString();
}
