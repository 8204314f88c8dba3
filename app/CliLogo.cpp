#include "app/Cli.h"
#include "app/CliPictureTool.h"
#include "tools/frm_WaterLogo.h"

namespace app {

// pixmar logo (--file F | --dir D) --target T --logo L [--level N%] [--at X,Y]
int cliLogo(CliSession &s, const QStringList &args)
{
    PictureToolArgs picture;
    QString logo, level;
    for (int i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (takePictureToolOption(args, i, picture, s, ok) ||
            takeLevelOption(args, i, frm_WaterLogo::kLevels, level, s, ok)) {
            if (!ok)
                return kExitInputFault;
        } else if (args[i] == QLatin1String("--logo")) {
            if (!takeValue(args, i, logo, s))
                return kExitInputFault;
        } else {
            return s.badArguments(QStringLiteral("unknown option %1 for logo").arg(args[i]));
        }
    }
    if (!checkSource(s, picture))
        return kExitInputFault;
    if (logo.isEmpty())
        return s.badArguments(QStringLiteral("logo needs --logo L"));

    frm_WaterLogo window;
    auto options = [&] {
        s.toolkit.openAnswers.push_back(absolutePath(logo));
        window.mnu_txtwtr_Click();
        if (!level.isEmpty())
            window.mnu_level_Click(level);
    };
    return runPictureTool(s, window, picture, options, [&] { window.mnu_loadpic_Click(); },
                          [&] { window.mnu_sav_Click(); });
}

} // namespace app
