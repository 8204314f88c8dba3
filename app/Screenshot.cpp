#include "app/Screenshot.h"

#include "app/Cli.h"
#include "rename/frm_RenBulk.h"
#include "shell/frmUtama.h"
#include "tools/AddtextRecipe.h"
#include "tools/ToolWindow.h"
#include "tools/WatermarkRecipe.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>

namespace app {

int runScreenshot(const QStringList &args)
{
    QString file, window = QStringLiteral("frmUtama"), lang = QStringLiteral("eng");
    QString folder, prefix;   // what the bulk rename window lists and has typed
    int step = 0;             // the picture of the folder a marking tool shows
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--screenshot") && i + 1 < args.size())
            file = args[++i];
        else if (a == QLatin1String("--window") && i + 1 < args.size())
            window = args[++i];
        else if (a == QLatin1String("--lang") && i + 1 < args.size())
            lang = args[++i];
        else if (a == QLatin1String("--folder") && i + 1 < args.size())
            folder = args[++i];
        else if (a == QLatin1String("--prefix") && i + 1 < args.size())
            prefix = args[++i];
        else if (a == QLatin1String("--step") && i + 1 < args.size())
            step = args[++i].toInt();
    }
    if (file.isEmpty()) {
        std::fputs("pixmar: --screenshot needs a file name\n", stderr);
        return kExitInputFault;
    }
    if (!checkLanguage(lang))
        return kExitInputFault;
    frmUtama main;
    main.langflag = lang == QLatin1String("bm");
    main.activate();
    shell::Form *form = main.formByName(window);
    if (!form) {
        std::fprintf(stderr, "pixmar: unknown window %s; one of: %s\n", qPrintable(window),
                     qPrintable(frmUtama::formNames().join(QLatin1String(", "))));
        return kExitInputFault;
    }
    if (form != &main) {
        main.setEnabled(false);
        form->activate();
    }
    if (auto *tool = dynamic_cast<tools::ToolWindow *>(form); tool && !folder.isEmpty()) {
        // A look at a marking tool on a folder: the text (given as --prefix) clicked at the
        // preview's middle, then --step pictures further on.
        if (auto *text = dynamic_cast<tools::WatertextRecipe *>(&tool->run().recipe()))
            text->vartext = prefix;
        if (auto *text = dynamic_cast<tools::AddtextRecipe *>(&tool->run().recipe()))
            text->vartext = prefix;
        // Loading asks for a target as a run would; a look writes nothing there.
        tool->run().chooseTarget(QDir::tempPath());
        tool->loadFolder(folder);
        if (tool->run().previewShown()) {
            tool->clickAtPixels(tool->Picture1.innerWidthPx() / 2.0, tool->Picture1.innerHeightPx() / 2.0);
            if (step > 0)
                tool->stepTo(step);
        }
    }
    if (auto *renbulk = qobject_cast<frm_RenBulk *>(form)) {
        if (!folder.isEmpty())
            renbulk->showFolder(folder);
        renbulk->txtname->setText(prefix);
    }
    form->Form_Resize();
    QApplication::processEvents();
    if (!form->grab().save(file, "PNG")) {
        std::fprintf(stderr, "pixmar: cannot write %s\n", qPrintable(file));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace app
