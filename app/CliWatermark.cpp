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
    Options known = pictureToolOptions(picture);
    for (Option o : fontOptions(font))
        known.push_back(std::move(o));
    known.push_back(textOption(text));
    known.push_back(levelOption(frm_Watertext::kLevels, level));
    if (!parseOptions(args, known, QStringLiteral("watermark"), s))
        return kExitInputFault;
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
