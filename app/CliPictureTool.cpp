#include "app/CliPictureTool.h"

#include "shell/Texts.h"
#include "tools/ToolWindow.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <vector>

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

Options fontOptions(FontArgs &out)
{
    return {
        {QStringLiteral("--font"), true, [&out](const QString &v) { out.name = v; return QString(); }},
        {QStringLiteral("--size"), true,
         [&out](const QString &v) {
             bool ok = false;
             out.size = v.toDouble(&ok);
             return ok && out.size > 0 ? QString() : QStringLiteral("--size takes a size in points");
         }},
        {QStringLiteral("--bold"), false, [&out](const QString &) { out.bold = true; return QString(); }},
        {QStringLiteral("--italic"), false, [&out](const QString &) { out.italic = true; return QString(); }},
    };
}

Option textOption(std::optional<QString> &out)
{
    return {QStringLiteral("--text"), true, [&out](const QString &v) { out = v; return QString(); }};
}

Option levelOption(const QStringList &levels, QString &out)
{
    return {QStringLiteral("--level"), true, [&levels, &out](const QString &v) {
                out = v.endsWith(QLatin1Char('%')) ? v : v + QLatin1Char('%');
                if (levels.contains(out))
                    return QString();
                return QStringLiteral("--level takes one of %1").arg(levels.join(QLatin1String(", ")));
            }};
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
    // The load step's error boxes are held until it is known whether the run meets the same
    // picture again: its "Continue?" then says it, and each error is printed once.
    std::vector<platform::ScriptedToolkit::Message> held;
    const auto print = session.toolkit.onMessage;
    session.toolkit.onMessage = [&held](const platform::ScriptedToolkit::Message &m) { held.push_back(m); };
    load();
    session.toolkit.onMessage = print;
    const tools::RunOutcome loaded = window.outcome();
    using End = tools::RunOutcome::End;
    const bool runMeetsItAgain = loaded.end == End::LoadFailed && !window.run().curfile.isEmpty();
    for (const auto &m : held)
        if (print && !(runMeetsItAgain && m.role == platform::MsgRole::Error))
            print(m);
    // Files there, none of them one the program can name (not UTF-8): failed, not refused.
    if (loaded.end == End::NoUsableFile)
        return kExitFailed;
    // Refused input, or nothing to process (a missing or empty folder, a missing file).
    if (loaded.end == End::InputFault || loaded.end == End::NothingToLoad ||
        window.run().curfile.isEmpty())
        return kExitInputFault;
    if (args.hasClick)
        window.clickAtPixels(args.atX, args.atY);
    save();
    const tools::RunOutcome &ran = window.outcome();
    // A run refused before it reached the picture never said it: the load step's word stands.
    if (runMeetsItAgain && std::none_of(ran.failures.begin(), ran.failures.end(), [&](const auto &f) {
            return f.path == loaded.failures.front().path;
        }))
        for (const auto &m : held)
            if (print && m.role == platform::MsgRole::Error)
                print(m);
    // A first picture that could not be shown failed as surely as one the run could not do.
    return exitStatusOf(ran.refused, ran.stopped || !ran.failures.empty() || !loaded.failures.empty(),
                        ran.end == End::Reported);
}

} // namespace app
