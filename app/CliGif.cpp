#include "app/Cli.h"

#include "animgif/AnimGifRules.h"
#include "animgif/FitMenu.h"
#include "animgif/frm_AnimGif.h"
#include "shell/Texts.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <utility>
#include <vector>

namespace app {

// pixmar gif [--fit WxH] --delay N DIR [--delay N DIR ...]: the frame size is chosen, for each
// folder the delay is typed into the box and left (its limit check), the folder button is
// answered with DIR, and at the end Create GIF is pressed. The GIF goes into the last folder.
int cliGif(CliSession &s, const QStringList &args)
{
    std::vector<std::pair<QString, QString>> steps;   // delay, folder
    QString delay;
    bool haveDelay = false;
    QSize fit;   // empty: the pictures keep their sizes, whatever the window remembers
    const Options options = {
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

    frm_AnimGif window;
    window.Form_Activate();
    const AnimGifOutcome &outcome = window.outcome();
    window.mnu_fit->choose(fit, false);
    for (const auto &[n, dir] : steps) {
        window.txtdelay->setText(n);
        window.txtdelay_LostFocus();
        if (outcome.refused)
            return kExitInputFault;   // refused (and printed): the window would reset the box
        s.toolkit.folderAnswers.push_back(QFileInfo(dir).absoluteFilePath());
        window.cmddir_Click();
        if (outcome.stopped)
            return kExitFailed;
    }
    window.cmdCreate_Click();
    return exitStatusOf(outcome, outcome.built);
}

} // namespace app
