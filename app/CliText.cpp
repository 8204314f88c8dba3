#include "app/Cli.h"
#include "app/CliPictureTool.h"

namespace app {
namespace {

// --color names, in the order of the window's Color menu.
const QStringList kColourNames = {QStringLiteral("black"),  QStringLiteral("blue"),
                                  QStringLiteral("red"),    QStringLiteral("yellow"),
                                  QStringLiteral("green"),  QStringLiteral("magenta"),
                                  QStringLiteral("cyan"),   QStringLiteral("white")};

} // namespace

// pixmar text (--file F | --dir D) --target T --text TEXT [--font NAME] [--size PT] [--bold]
//             [--italic] [--color NAME] [--at X,Y]
int cliText(CliSession &s, const QStringList &args)
{
    PictureToolArgs picture;
    FontArgs font;
    std::optional<QString> text;
    QString colour;
    Options known = pictureToolOptions(picture);
    for (Option o : fontOptions(font))
        known.push_back(std::move(o));
    known.push_back(textOption(text));
    known.push_back({QStringLiteral("--color"), true, [&colour](const QString &v) {
                           colour = v.toLower();
                           if (kColourNames.contains(colour))
                               return QString();
                           return QStringLiteral("--color takes one of %1")
                               .arg(kColourNames.join(QLatin1String(", ")));
                       }});
    if (!parseOptions(args, known, QStringLiteral("text"), s))
        return kExitInputFault;
    if (!checkSource(s, picture))
        return kExitInputFault;
    if (!text)
        return s.badArguments(QStringLiteral("text needs --text TEXT"));

    tools::Job job = jobFrom(picture, tools::ToolKind::Text);
    job.font = font.applyTo(job.font);
    if (!colour.isEmpty())
        job.color = QColor(tools::textColours()[kColourNames.indexOf(colour)].rgb);
    job.text = *text;
    return runPictureJob(s, job);
}

} // namespace app
