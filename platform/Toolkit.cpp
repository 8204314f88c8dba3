#include "platform/Toolkit.h"
#include "platform/Units.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <utility>

namespace platform {
namespace {

Toolkit *g_current = nullptr;

QtToolkit &qtToolkit()
{
    static QtToolkit qt;
    return qt;
}

// "Description|pattern|Description|pattern" → Qt's "Description (patterns)" entries.
QStringList qtFilters(const QString &filter)
{
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QStringList globs = patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // The dialog matches names case-sensitively; pictures are often named in upper case.
        QStringList both;
        for (const QString &g : globs) {
            both << g;
            if (g.toUpper() != g)
                both << g.toUpper();
        }
        QString description = parts[i];
        int paren = description.indexOf(QLatin1Char('('));
        if (paren > 0)
            description = description.left(paren).trimmed();
        out << QStringLiteral("%1 (%2)").arg(description, both.join(QLatin1Char(' ')));
    }
    return out;
}

QString lineBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

// xdg-open starts in the background and finds out only there that nothing takes the file, so
// the desktop is asked first: a default application for the file's type, or a browser (which
// xdg-open falls back to on a desktop it does not know).
bool hasDocumentHandler(const QString &path)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return false;
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!xdgMime.isEmpty()) {
        QProcess query;
        query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                              QMimeDatabase().mimeTypeForFile(path).name()});
        if (query.waitForFinished(5000) && !query.readAllStandardOutput().trimmed().isEmpty())
            return true;
    }
    QStringList browsers = {QStringLiteral("x-www-browser"), QStringLiteral("www-browser")};
    const QString chosen = qEnvironmentVariable("BROWSER").section(QLatin1Char(':'), 0, 0);
    if (!chosen.isEmpty())
        browsers.prepend(chosen);
    for (const QString &b : browsers) {
        if (!QStandardPaths::findExecutable(b).isEmpty())
            return true;
    }
    return false;
}

} // namespace

Toolkit &toolkit() { return g_current ? *g_current : qtToolkit(); }

void doEvents()
{
    const QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        toolkit().doEvents();
}
Toolkit *setToolkit(Toolkit *t) { return std::exchange(g_current, t); }

// ---- Qt

void widenForTitle(QMessageBox &box)
{
    // Title bars set their text larger and bolder than the dialog's own font, beside the
    // window's icon and buttons.
    constexpr double kTitleFontFactor = 1.25;
    constexpr int kTitleBarFurniture = 160;
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int wanted = int(QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) * kTitleFontFactor)
                     + kTitleBarFurniture;
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0,
                  1, grid->columnCount());
}

MsgResult QtToolkit::messageBox(const QString &text, const QString &title, MsgIcon icon,
                                MsgButtons buttons, MsgRole)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    // Messages carry file names, which may look like markup: shown as they are.
    box.setTextFormat(Qt::PlainText);
    box.setText(lineBreaks(text));
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    widenForTitle(box);
    // The busy pointer must not hide the box's buttons.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    int r = box.exec();
    QApplication::restoreOverrideCursor();
    if (buttons == MsgButtons::OK)
        return MsgResult::OK;
    return r == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

QString QtToolkit::inputBox(const QString &prompt, const QString &title)
{
    bool ok = false;
    QString s = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                      QLineEdit::Normal, QString(), &ok);
    return ok ? s : QString();
}

std::optional<QString> QtToolkit::showOpen(const QString &filter, const QString &title,
                                           QWidget *owner, const QString &startFolder)
{
    QString selected;
    QString path = QFileDialog::getOpenFileName(owner, title, startFolder,
                                                qtFilters(filter).join(QLatin1String(";;")),
                                                &selected);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

bool QtToolkit::showFont(FontSpec &font, QWidget *owner)
{
    QFont initial(font.name);
    initial.setPointSizeF(font.size);
    initial.setBold(font.bold);
    initial.setItalic(font.italic);
    // The dialog lists the installed families and whole sizes only. A family that is not
    // installed (the tools start on Times New Roman) would otherwise come up as the
    // application's own font, so the dialog opens on the family the desktop draws it with.
    const QFontInfo drawn(initial);
    QFont shownFont(drawn.family());
    shownFont.setPointSizeF(font.size);
    shownFont.setBold(font.bold);
    shownFont.setItalic(font.italic);
    QFontDialog dialog(shownFont, owner);
    const QFont shown = dialog.currentFont();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QFont f = dialog.selectedFont();
    // What the user left as it was stays as the label shows it: OK alone changes nothing.
    if (f.family() != shown.family())
        font.name = f.family();
    if (f.pointSize() != shown.pointSize())
        font.size = f.pointSizeF();
    font.bold = f.bold();
    font.italic = f.italic();
    return true;
}

QString QtToolkit::browseForFolder(QWidget *owner, const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(owner, QStringLiteral("Select Directory"), startFolder);
}

void QtToolkit::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void QtToolkit::doEvents() { QCoreApplication::processEvents(); }

bool QtToolkit::openDocument(const QString &path)
{
    return hasDocumentHandler(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

ScreenMetrics QtToolkit::screen() const
{
    ScreenMetrics m;
    if (QScreen *s = QGuiApplication::primaryScreen()) {
        double dpiX = s->logicalDotsPerInchX();
        double dpiY = s->logicalDotsPerInchY();
        if (dpiX > 0)
            m.twipsPerPixelX = kTwipsPerInchD / dpiX;
        if (dpiY > 0)
            m.twipsPerPixelY = kTwipsPerInchD / dpiY;
        m.widthTwips = s->size().width() * m.twipsPerPixelX;
    }
    return m;
}

// ---- scripted

MsgResult ScriptedToolkit::messageBox(const QString &text, const QString &title, MsgIcon icon,
                                      MsgButtons buttons, MsgRole role)
{
    MsgResult answer = MsgResult::OK;
    if (buttons == MsgButtons::YesNo) {
        if (!messageAnswers.empty()) {
            answer = messageAnswers.front();
            messageAnswers.pop_front();
        } else {
            answer = defaultAnswer;
        }
    }
    record({text, title, icon, buttons, answer, role});
    return answer;
}

void ScriptedToolkit::record(const Message &m, bool notify)
{
    messages.push_back(m);
    if (notify && onMessage)
        onMessage(messages.back());
}

QString ScriptedToolkit::inputBox(const QString &prompt, const QString &)
{
    inputPrompts << prompt;
    if (inputAnswers.empty())
        return {};
    QString s = inputAnswers.front();
    inputAnswers.pop_front();
    return s;
}

std::optional<QString> ScriptedToolkit::showOpen(const QString &filter, const QString &title,
                                                 QWidget *, const QString &startFolder)
{
    openTitles << title;
    openStartFolders << startFolder;
    openFilters << filter;
    if (openAnswers.empty())
        return std::nullopt;
    auto a = openAnswers.front();
    openAnswers.pop_front();
    return a;
}

bool ScriptedToolkit::showFont(FontSpec &font, QWidget *)
{
    fontShown.push_back(font);
    if (fontAnswers.empty())
        return false;
    auto a = fontAnswers.front();
    fontAnswers.pop_front();
    if (!a)
        return false;
    font = *a;
    return true;
}

QString ScriptedToolkit::browseForFolder(QWidget *, const QString &startFolder)
{
    folderStartFolders << startFolder;
    if (folderAnswers.empty())
        return {};
    QString s = folderAnswers.front();
    folderAnswers.pop_front();
    return s;
}

void ScriptedToolkit::setBusy(bool busy) { busyDepth += busy ? 1 : -1; }

void ScriptedToolkit::doEvents()
{
    ++doEventsCount;
    if (onDoEvents)
        onDoEvents();
}

bool ScriptedToolkit::openDocument(const QString &path)
{
    openedDocuments << path;
    return documentHandler;
}

} // namespace platform
