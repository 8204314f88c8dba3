// A real rotate run over photographs of the working surface's size (1066 x 1066), split into
// the turn of the working surface and its preview through the pixel grid, against the
// decoding of the file and the encoding of the result that the same run does.
#include "BenchSupport.h"
#include "platform/Gdi.h"
#include "platform/Picture.h"
#include "platform/Surface.h"
#include "platform/Toolkit.h"
#include "tools/BatchRun.h"
#include "tools/frm_Pusing.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kSide = 1066;   // 16000 twips at 15 twips per pixel
constexpr int kFiles = 8;
constexpr int kRounds = 15;
constexpr int kRuns = 3;

using bench::photo;

double msSince(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

// The machine is shared: the median of the rounds says more than their mean.
template <class F>
double medianMs(int rounds, F &&f)
{
    std::vector<double> ms;
    QElapsedTimer t;
    for (int i = 0; i < rounds; ++i) {
        t.restart();
        f();
        ms.push_back(msSince(t));
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::ScriptedToolkit tk;
    platform::ScopedToolkit scoped(tk);
    QTemporaryDir tmp;
    const QString src = tmp.filePath("src"), out = tmp.filePath("out");
    QDir().mkpath(src);
    QDir().mkpath(out);
    const QImage picture = photo(kSide);
    for (int i = 0; i < kFiles; ++i)
        picture.save(QStringLiteral("%1/p%2.jpg").arg(src).arg(i), "JPG", 90);
    const QString first = src + QStringLiteral("/p0.jpg");

    QList<int> depths;
    for (int i = 1; i < argc; ++i)
        depths << QByteArray(argv[i]).toInt();
    if (depths.isEmpty())
        depths = {32, 16};

    for (const int depth : depths) {
        platform::gdi::setDisplayDepth(depth);
        frm_Pusing w;

        // The whole run, per file.
        const double runMs = medianMs(kRuns, [&] {
            tk.folderAnswers = {src, out};
            w.mnu_bulk_Click();
            w.mnu_folder_Click();
            w.mnu_loadpic_Click();
            w.mnu_90pos_Click();
        }) / kFiles;

        // The turns alone, on the window's own surfaces as a load step leaves them.
        tk.openAnswers = {first};
        tk.folderAnswers = {out};
        w.mnu_single_Click();
        w.mnu_folder_Click();
        w.mnu_loadpic_Click();
        const double turnMs = medianMs(kRounds, [&] {
            w.RotatePicture(w.Picture3, w.Picture4, 90);
            w.RotatePicture(w.Picture1, w.Picture2, 90);
        });
        const QSize work(w.Picture3.innerWidthPx(), w.Picture3.innerHeightPx());
        const QSize preview(w.Picture1.innerWidthPx(), w.Picture1.innerHeightPx());

        // Decoding the file and encoding the result as the run does: the picture is larger
        // than the preview, so the result is written at twice the working size.
        const QImage doubled = w.Picture4.picture().image().scaled(
            2 * w.Picture4.innerWidthPx(), 2 * w.Picture4.innerHeightPx(), Qt::IgnoreAspectRatio,
            Qt::SmoothTransformation);
        const QString bmp = out + QStringLiteral("/bench.bmp"), jpg = out + QStringLiteral("/bench.jpg");
        const double codecMs = medianMs(kRounds, [&] {
            const platform::Picture decoded = platform::loadPicture(first);
            platform::savePicture(doubled, bmp);
            tools::convertBitmapFile(bmp, jpg, tools::kFormatJpeg);
            QFile::remove(bmp);
        });

        std::printf("depth %2d: turn of working %dx%d + preview %dx%d: %.2f ms; decode %dx%d + "
                    "encode %dx%d: %.2f ms; ratio %.3f; whole run %.2f ms per file (turns %.1f%%); medians\n",
                    depth, work.width(), work.height(), preview.width(), preview.height(), turnMs,
                    kSide, kSide, doubled.width(), doubled.height(), codecMs, turnMs / codecMs,
                    runMs, 100.0 * turnMs / runMs);
    }
    return 0;
}
