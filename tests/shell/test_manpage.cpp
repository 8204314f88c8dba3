// The manual page (packaging/pixmar.1) and `pixmar --help` describe the same command line: the
// same options, tools and arguments of each tool, colours, exit statuses and version, and the
// windows --screenshot renders.
#include "app/Cli.h"
#include "shell/frmUtama.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QString manSource()
{
    QFile f(QStringLiteral(PIXMAR_MANPAGE));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The page's lines with comments dropped and escapes and font changes resolved.
QStringList manLines()
{
    QStringList out;
    for (QString line : manSource().split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".\\\"")))
            continue;
        line.replace(QLatin1String("\\-"), QLatin1String("-"));
        line.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
        out << line;
    }
    return out;
}

// The lines of one section (.SH NAME up to the next .SH).
QStringList section(const QStringList &lines, const QString &name)
{
    QStringList out;
    bool in = false;
    for (const QString &l : lines) {
        if (l.startsWith(QLatin1String(".SH "))) {
            in = l.mid(4).trimmed() == name;
            continue;
        }
        if (in)
            out << l;
    }
    return out;
}

QSet<QString> optionsIn(const QString &text)
{
    QSet<QString> out;
    auto it = QRegularExpression(QStringLiteral("(?<![\\w-])(--[a-z][a-z-]*|-h)\\b")).globalMatch(text);
    while (it.hasNext())
        out.insert(it.next().captured(1));
    return out;
}

// The tools of --help with the text of their synopsis lines, in order.
QList<QPair<QString, QString>> helpTools()
{
    QList<QPair<QString, QString>> out;
    const QString help = app::usageText();
    const QString block = help.section(QStringLiteral("Tools:\n"), 1).section(QStringLiteral("\n\n"), 0, 0);
    for (const QString &line : block.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^  (\\w+)\\s+(.*)$")).match(line);
        if (m.hasMatch())
            out << qMakePair(m.captured(1), m.captured(2));
        else if (!out.isEmpty())
            out.last().second += QLatin1Char(' ') + line.trimmed();
    }
    return out;
}

// The tools of the page's TOOLS section with the text of each entry, in order.
QList<QPair<QString, QString>> manTools()
{
    QList<QPair<QString, QString>> out;
    const QStringList lines = section(manLines(), QStringLiteral("TOOLS"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i] == QLatin1String(".TP") && i + 1 < lines.size() && lines[i + 1].startsWith(QLatin1String(".B "))) {
            out << qMakePair(lines[i + 1].mid(3).trimmed(), QString());
            ++i;
        } else if (lines[i] == QLatin1String(".PP")) {
            break;
        } else if (!out.isEmpty()) {
            out.last().second += QLatin1Char(' ') + lines[i];
        }
    }
    return out;
}

QStringList colours(const QString &text)
{
    const QString after = QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))
                              .section(QStringLiteral("is one of "), 1).section(QLatin1Char('.'), 0, 0);
    return after.split(QRegularExpression(QStringLiteral(",\\s*")), Qt::SkipEmptyParts);
}

} // namespace

TEST(ManualPage, DescribesTheSameCommandLineAsHelp)
{
    ASSERT_FALSE(manSource().isEmpty()) << PIXMAR_MANPAGE;
    const QStringList lines = manLines();
    const QString page = lines.join(QLatin1Char('\n'));
    const QString help = app::usageText();

    EXPECT_EQ(optionsIn(page), optionsIn(help));

    const auto fromHelp = helpTools();
    const auto fromPage = manTools();
    QStringList helpNames, pageNames;
    for (const auto &t : fromHelp) helpNames << t.first;
    for (const auto &t : fromPage) pageNames << t.first;
    ASSERT_EQ(helpNames.size(), 6);
    EXPECT_EQ(pageNames, helpNames);
    for (const auto &t : fromHelp) {
        for (const auto &p : fromPage) {
            if (p.first == t.first) {
                EXPECT_EQ(optionsIn(p.second), optionsIn(t.second)) << t.first.toStdString();
            }
        }
    }
    EXPECT_EQ(colours(page), colours(help));
    EXPECT_EQ(colours(help).size(), 8);
}

TEST(ManualPage, ExitStatusesVersionAndWindowsMatchTheProgram)
{
    const QStringList lines = manLines();
    QStringList statuses;
    for (const QString &l : section(lines, QStringLiteral("EXIT STATUS")))
        if (l.startsWith(QLatin1String(".B ")))
            statuses << l.mid(3).trimmed();
    EXPECT_EQ(statuses, QStringList({QString::number(app::kExitOk), QString::number(app::kExitFailed),
                                     QString::number(app::kExitInputFault)}));
    const QString help = app::usageText();
    for (const QString &s : statuses)
        EXPECT_TRUE(help.contains(s + QLatin1String(" when")) || help.contains(s + QLatin1String(" for")))
            << s.toStdString();

    // The page's header names the version --version prints.
    const QString version = app::versionText().trimmed();
    ASSERT_FALSE(lines.filter(QRegularExpression(QStringLiteral("^\\.TH "))).isEmpty());
    EXPECT_TRUE(lines.filter(QRegularExpression(QStringLiteral("^\\.TH ")))[0].contains(version));

    // --window lists every window the screenshot can render.
    const QString page = lines.join(QLatin1Char(' '));
    for (const QString &name : frmUtama::formNames())
        EXPECT_TRUE(page.contains(name)) << name.toStdString();
}
