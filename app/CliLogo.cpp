#include "app/Cli.h"
#include "app/CliPictureTool.h"
#include "tools/frm_WaterLogo.h"

namespace app {

// pixmar logo (--file F | --dir D) --target T --logo L [--level N%] [--at X,Y]
int cliLogo(CliSession &s, const QStringList &args)
{
    PictureToolArgs picture;
    QString logo, level;
    Options known = pictureToolOptions(picture);
    known.push_back(levelOption(frm_WaterLogo::kLevels, level));
    known.push_back({QStringLiteral("--logo"), true, [&logo](const QString &v) { logo = v; return QString(); }});
    if (!parseOptions(args, known, QStringLiteral("logo"), s))
        return kExitInputFault;
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
