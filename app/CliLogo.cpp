#include "app/Cli.h"
#include "app/CliPictureTool.h"

namespace app {

// pixmar logo (--file F | --dir D) --target T --logo L [--level N%] [--at X,Y]
int cliLogo(CliSession &s, const QStringList &args)
{
    PictureToolArgs picture;
    QString logo, level;
    Options known = pictureToolOptions(picture);
    known.push_back(levelOption(tools::levelsOf(tools::ToolKind::Logo), level));
    known.push_back({QStringLiteral("--logo"), true, [&logo](const QString &v) { logo = v; return QString(); }});
    if (!parseOptions(args, known, QStringLiteral("logo"), s))
        return kExitInputFault;
    if (!checkSource(s, picture))
        return kExitInputFault;
    if (logo.isEmpty())
        return s.badArguments(QStringLiteral("logo needs --logo L"));

    tools::Job job = jobFrom(picture, tools::ToolKind::Logo);
    job.logo = absolutePath(logo);
    if (!level.isEmpty())
        job.level = level;
    return runPictureJob(s, job);
}

} // namespace app
