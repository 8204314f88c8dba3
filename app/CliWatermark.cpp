#include "app/Cli.h"
#include "app/CliPictureTool.h"

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
    known.push_back(levelOption(tools::levelsOf(tools::ToolKind::Watermark), level));
    if (!parseOptions(args, known, QStringLiteral("watermark"), s))
        return kExitInputFault;
    if (!checkSource(s, picture))
        return kExitInputFault;
    if (!text)
        return s.badArguments(QStringLiteral("watermark needs --text TEXT"));

    tools::Job job = jobFrom(picture, tools::ToolKind::Watermark);
    job.font = font.applyTo(job.font);
    if (!level.isEmpty())
        job.level = level;
    job.text = *text;
    return runPictureJob(s, job);
}

} // namespace app
