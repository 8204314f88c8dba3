#include "app/Screenshot.h"

#include "app/Cli.h"
#include "rename/frm_RenBulk.h"
#include "shell/frmUtama.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>

namespace app {

int runScreenshot(const QStringList &args)
{
    QString file, window = QStringLiteral("frmUtama"), lang = QStringLiteral("eng");
    QString folder, prefix;   // what the bulk rename window lists and has typed
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
