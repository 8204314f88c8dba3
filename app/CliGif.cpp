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
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--fit")) {
            QString box;
            if (!takeValue(args, i, box, s))
                return kExitInputFault;
            const std::optional<QSize> parsed = animgif::parseFitBox(box);
            if (!parsed)
                return s.badArguments(QStringLiteral("--fit takes WxH, such as 800x600 (1 to 65535 each)"));
            fit = *parsed;
        } else if (args[i] == QLatin1String("--delay")) {
            if (!takeValue(args, i, delay, s))
                return kExitInputFault;
            haveDelay = true;
        } else if (args[i].startsWith(QLatin1String("--"))) {
            return s.badArguments(QStringLiteral("gif does not know %1").arg(args[i]));
        } else {
            if (!haveDelay)
                return s.badArguments(QStringLiteral("gif needs --delay N before %1").arg(args[i]));
            steps.emplace_back(delay, args[i]);
        }
    }
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
