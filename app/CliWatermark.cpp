#include "app/Cli.h"
#include "app/CliPictureTool.h"
#include "tools/frm_Watertext.h"

namespace app {

// pixmar watermark (--file F | --dir D) --target T --text TEXT [--font NAME] [--size PT]
//                  [--bold] [--italic] [--level N%] [--at X,Y]
int cliWatermark(CliSession &s, const QStringList &args)
{
    PictureToolArgs picture;
    FontArgs font;
    std::optional<QString> text;
    QString level;
    for (int i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (takePictureToolOption(args, i, picture, s, ok) || takeFontOption(args, i, font, s, ok) ||
            takeTextOption(args, i, text, s, ok) ||
            takeLevelOption(args, i, frm_Watertext::kLevels, level, s, ok)) {
            if (!ok)
                return kExitInputFault;
        } else {
            return s.badArguments(QStringLiteral("unknown option %1 for watermark").arg(args[i]));
        }
    }
    if (!checkSource(s, picture))
        return kExitInputFault;
    if (!text)
        return s.badArguments(QStringLiteral("watermark needs --text TEXT"));

    frm_Watertext window;
    auto options = [&] {
        if (font.given()) {
            s.toolkit.fontAnswers.push_back(font.applyTo(window.CommonDialog.font));
            window.mnu_font_Click();
        }
        if (!level.isEmpty())
            window.mnu_level_Click(level);
        s.toolkit.inputAnswers.push_back(*text);
        window.mnu_txtwtr_Click();
    };
    return runPictureTool(s, window, picture, options, [&] { window.mnu_loadpic_Click(); },
                          [&] { window.mnu_sav_Click(); });
}

} // namespace app
