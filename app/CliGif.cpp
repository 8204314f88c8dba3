#include "app/Cli.h"

#include "animgif/AnimGifRules.h"
#include "animgif/FitMenu.h"
#include "animgif/GifBuild.h"
#include "animgif/cGDIP.h"
#include "platform/Errors.h"
#include "platform/Picture.h"
#include "shell/Texts.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <memory>
#include <utility>
#include <vector>

namespace app {
namespace {

// The GIF command's messages, printed as the picture tools' are; "Continue?" is answered from
// --on-error.
class GifCliHost : public animgif::GifHost {
public:
    explicit GifCliHost(CliSession &session) : session_(session) {}
    void notice(const QString &text, const QString &title, bool isError) override
    {
        session_.say(text, title, isError ? platform::MsgIcon::Error : platform::MsgIcon::Information,
                     isError ? platform::MsgRole::Error : platform::MsgRole::Notice);
    }
    void error(const QString &description) override
    {
        session_.say(description, shell::tx("common.title.error"), platform::MsgIcon::Error,
                     platform::MsgRole::Error);
    }
    bool continueAfter(const QString &description) override
    {
        return session_.say(description + shell::CRLF + shell::tx("common.continue"),
                            shell::tx("common.title.error"), platform::MsgIcon::Error, platform::MsgRole::Error,
                            true);
    }
    void inputFault(const QString &text, const QString &title)
    {
        session_.say(text, title, platform::MsgIcon::Information, platform::MsgRole::InputFault);
    }

private:
    CliSession &session_;
};

} // namespace

// pixmar gif [--fit WxH] --delay N DIR [--delay N DIR ...]: each folder's pictures are listed
// with the delay given before it (over its limit the command is refused), and the GIF is built
// into the last folder.
int cliGif(CliSession &s, const QStringList &args)
{
    std::vector<std::pair<QString, QString>> steps;   // delay, folder
    QString delay;
    bool haveDelay = false;
    QSize fit;   // empty: the pictures keep their sizes, whatever the window remembers
    bool allFormats = false;
    const Options options = {
        {QStringLiteral("--all-formats"), false, [&allFormats](const QString &) {
             allFormats = true;
             return QString();
         }},
        {QStringLiteral("--fit"), true,
         [&fit](const QString &box) {
             const std::optional<QSize> parsed = animgif::parseFitBox(box);
             if (!parsed)
                 return QStringLiteral("--fit takes WxH, such as 800x600 (1 to 65535 each)");
             fit = *parsed;
             return QString();
         }},
        {QStringLiteral("--delay"), true, [&](const QString &v) {
             delay = v;
             haveDelay = true;
             return QString();
         }},
    };
    const bool read = parseOptions(args, options, QStringLiteral("gif"), s, [&](const QString &dir) {
        if (!haveDelay)
            return QStringLiteral("gif needs --delay N before %1").arg(dir);
        steps.emplace_back(delay, dir);
        return QString();
    });
    if (!read)
        return kExitInputFault;
    if (steps.empty())
        return s.badArguments(QStringLiteral("gif needs --delay N DIR"));
    // What the box lets through: up to five digits.
    static const QRegularExpression digits(QStringLiteral("^\\d{1,%1}$").arg(animgif::kDelayMaxChars));
    for (const auto &[n, dir] : steps) {
        if (!digits.match(n).hasMatch())
            return s.badArguments(QStringLiteral("--delay takes 0 to %1 (hundredths of a second)")
                                      .arg(animgif::kDelayLimit));
        if (!QFileInfo(dir).isDir())
            return s.badArguments(QStringLiteral("%1 is not a folder").arg(dir));
    }

    GifCliHost host(s);
    AnimGifOutcome outcome;
    std::unique_ptr<cGDIP> gdip;
    try {
        gdip = std::make_unique<cGDIP>();
    } catch (const platform::AppError &e) {
        outcome.fail({}, e.description());
        host.error(e.description());
    }
    // Each picture is checked as the window's listing checks it, by the same decoder, but at
    // the smallest scale it offers: nobody sees a preview here.
    const auto check = [](const QString &path) { platform::loadPicture(path, [](QSize) { return QSize(1, 1); }); };
    std::vector<animgif::GifFrame> frames;
    QString folder;
    for (const auto &[n, dir] : steps) {
        if (animgif::exceedsDelayLimit(n)) {
            host.notice(shell::tx("animgif.msg.limit"), shell::tx("common.title.pixmar"), true);
            return kExitInputFault;
        }
        folder = QFileInfo(dir).absoluteFilePath();
        animgif::listFolder(folder, animgif::listedDelay(n), check, frames, host, outcome, {}, allFormats);
        if (outcome.stopped)
            return kExitFailed;
    }
    if (frames.empty()) {
        host.inputFault(shell::tx("animgif.msg.noFiles"), shell::tx("common.title.pixmar"));
        return kExitInputFault;
    }
    outcome.built = animgif::tellBuilt(animgif::buildGif(frames, folder, fit, gdip.get()), host, outcome);
    return exitStatusOf(outcome, outcome.built);
}

} // namespace app
