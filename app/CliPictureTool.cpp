#include "app/CliPictureTool.h"

#include "shell/Texts.h"
#include "tools/ToolWindow.h"

#include <QDir>
#include <QFileInfo>

namespace app {

QString absolutePath(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

platform::FontSpec FontArgs::applyTo(platform::FontSpec current) const
{
    if (!name.isEmpty())
        current.name = name;
    if (size > 0)
        current.size = size;
    current.bold = current.bold || bold;
    current.italic = current.italic || italic;
    return current;
}

bool takeFontOption(const QStringList &args, int &i, FontArgs &out, CliSession &session, bool &ok)
{
    const QString &a = args[i];
    ok = true;
    if (a == QLatin1String("--font")) {
        ok = takeValue(args, i, out.name, session);
    } else if (a == QLatin1String("--size")) {
        QString v;
        ok = takeValue(args, i, v, session);
        if (ok) {
            out.size = v.toDouble(&ok);
            if (!ok || out.size <= 0) {
                ok = false;
                session.badArguments(QStringLiteral("--size takes a size in points"));
            }
        }
    } else if (a == QLatin1String("--bold")) {
        out.bold = true;
    } else if (a == QLatin1String("--italic")) {
        out.italic = true;
    } else {
        return false;
    }
    return true;
}

bool takeTextOption(const QStringList &args, int &i, std::optional<QString> &out,
                    CliSession &session, bool &ok)
{
    if (args[i] != QLatin1String("--text"))
        return false;
    QString text;
    ok = takeValue(args, i, text, session);
    if (ok)
        out = text;
    return true;
}

bool checkSource(CliSession &session, const PictureToolArgs &args)
{
    if (args.file.isEmpty() == args.dir.isEmpty()) {
        session.badArguments(QStringLiteral("give either --file F or --dir D"));
        return false;
    }
    return true;
}

int runPictureTool(CliSession &session, tools::ToolWindow &window, const PictureToolArgs &args,
                   const std::function<void()> &setOptions, const std::function<void()> &load,
                   const std::function<void()> &save)
{
    session.toolkit.defaultAnswer =
        session.onErrorStop ? platform::MsgResult::No : platform::MsgResult::Yes;
    // Laid out as on screen (the preview takes the client area) without a native window.
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.activate();
    if (!args.file.isEmpty()) {
        session.toolkit.openAnswers.push_back(absolutePath(args.file));
        window.mnu_single_Click();
    } else {
        session.toolkit.folderAnswers.push_back(absolutePath(args.dir));
        window.mnu_bulk_Click();
    }
    session.toolkit.folderAnswers.push_back(absolutePath(args.target));
    window.mnu_folder_Click();
    window.mnu_options->apply(args.output);
    if (setOptions)
        setOptions();
    load();
    const tools::RunOutcome loaded = window.outcome();
    // Refused input, or nothing to process (a missing or empty folder, a missing file).
    using End = tools::RunOutcome::End;
    if (loaded.end == End::InputFault || loaded.end == End::NothingToLoad ||
        window.run().curfile.isEmpty())
        return kExitInputFault;
    if (args.hasClick)
        window.clickAtPixels(args.atX, args.atY);
    save();
    const tools::RunOutcome &ran = window.outcome();
    // A first picture that could not be shown failed as surely as one the run could not do.
    return exitStatusOf(ran.refused, ran.stopped || !ran.failures.empty() || !loaded.failures.empty(),
                        ran.end == End::Reported);
}

bool takeLevelOption(const QStringList &args, int &i, const QStringList &levels, QString &out,
                     CliSession &session, bool &ok)
{
    if (args[i] != QLatin1String("--level"))
        return false;
    ok = takeValue(args, i, out, session);
    if (!ok)
        return true;
    if (!out.endsWith(QLatin1Char('%')))
        out += QLatin1Char('%');
    if (!levels.contains(out)) {
        session.badArguments(QStringLiteral("--level takes one of %1").arg(levels.join(QLatin1String(", "))));
        ok = false;
    }
    return true;
}

} // namespace app
