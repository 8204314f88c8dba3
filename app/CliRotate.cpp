#include "app/Cli.h"
#include "app/CliPictureTool.h"
#include "tools/frm_Pusing.h"

namespace app {

// pixmar rotate (--file F | --dir D) --target T (--plus | --minus)
int cliRotate(CliSession &s, const QStringList &args)
{
    PictureToolArgs picture;
    bool plus = false, minus = false;
    for (int i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--at")) {
            // The rotate window takes no click.
            return s.badArguments(QStringLiteral("--at is not an option of rotate"));
        } else if (takePictureToolOption(args, i, picture, s, ok)) {
            if (!ok)
                return kExitInputFault;
        } else if (args[i] == QLatin1String("--plus")) {
            plus = true;
        } else if (args[i] == QLatin1String("--minus")) {
            minus = true;
        } else if (args[i] == QLatin1String("--lossless")) {
            picture.output.lossless = true;
        } else {
            return s.badArguments(QStringLiteral("unknown option %1 for rotate").arg(args[i]));
        }
    }
    if (!checkSource(s, picture))
        return kExitInputFault;
    if (picture.output.lossless && !picture.output.originalSize)
        return s.badArguments(QStringLiteral("--lossless turns pictures at their own size: give --original-size"));
    if (plus == minus)
        return s.badArguments(QStringLiteral("rotate needs either --plus or --minus"));

    frm_Pusing window;
    return runPictureTool(
        s, window, picture, nullptr, [&] { window.mnu_loadpic_Click(); },
        [&] {
            if (plus)
                window.mnu_90pos_Click();
            else
                window.mnu_90neg_Click();
        });
}

} // namespace app
