#include "app/Cli.h"
#include "app/CliPictureTool.h"

namespace app {

// pixmar rotate (--file F | --dir D) --target T (--plus | --minus)
int cliRotate(CliSession &s, const QStringList &args)
{
    PictureToolArgs picture;
    bool plus = false, minus = false;
    // The rotate window takes no click.
    Options known = pictureToolOptions(picture, false);
    known.push_back({QStringLiteral("--plus"), false, [&plus](const QString &) { plus = true; return QString(); }});
    known.push_back({QStringLiteral("--minus"), false, [&minus](const QString &) { minus = true; return QString(); }});
    known.push_back({QStringLiteral("--lossless"), false,
                     [&picture](const QString &) { picture.output.lossless = true; return QString(); }});
    if (!parseOptions(args, known, QStringLiteral("rotate"), s))
        return kExitInputFault;
    if (!checkSource(s, picture))
        return kExitInputFault;
    if (picture.output.lossless && !picture.output.originalSize)
        return s.badArguments(QStringLiteral("--lossless turns pictures at their own size: give --original-size"));
    if (plus == minus)
        return s.badArguments(QStringLiteral("rotate needs either --plus or --minus"));

    tools::Job job = jobFrom(picture, tools::ToolKind::Rotate);
    job.clockwise = plus;
    return runPictureJob(s, job);
}

} // namespace app
