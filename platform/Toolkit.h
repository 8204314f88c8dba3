#pragma once
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QMessageBox;

class QWidget;

namespace platform {

enum class MsgIcon { Information, Error, Exclamation, Question };
enum class MsgButtons { OK, YesNo };
enum class MsgResult { OK, Yes, No };
// What a message is to the program, whatever its icon and title: the command line prints
// notices on standard output and the others on standard error.
enum class MsgRole { Notice, InputFault, Error };

// Font settings as the font dialog and the surfaces see them.
struct FontSpec {
    QString name = QStringLiteral("MS Sans Serif");
    double size = 8.25;
    bool bold = false;
    bool italic = false;
    bool operator==(const FontSpec &) const = default;
};

struct ScreenMetrics {
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
    double widthTwips = 1920 * 15;
};

// Every interaction the windows have with the desktop goes through this interface, so that
// the same window code runs under a real display, offscreen in tests and on the command line.
class Toolkit {
public:
    virtual ~Toolkit() = default;
    // Modal message box. CR LF in the text is a line break.
    virtual MsgResult messageBox(const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons, MsgRole role = MsgRole::Notice) = 0;
    // One-line input box; empty text on cancel.
    virtual QString inputBox(const QString &prompt, const QString &title) = 0;
    // Open-file dialog. `filter` is in the "Description|pattern|Description|pattern" form.
    // It starts in `startFolder` (the desktop's choice when empty). Returns the chosen path,
    // or nothing on cancel.
    virtual std::optional<QString> showOpen(const QString &filter, const QString &title,
                                            QWidget *owner, const QString &startFolder = {}) = 0;
    // Font dialog on `font`; false (and `font` unchanged) on cancel.
    virtual bool showFont(FontSpec &font, QWidget *owner) = 0;
    // Folder picker titled "Select Directory", starting in `startFolder`; empty text on cancel.
    virtual QString browseForFolder(QWidget *owner, const QString &startFolder = {}) = 0;
    virtual void setBusy(bool busy) = 0;
    // Lets pending window events run.
    virtual void doEvents() = 0;
    // Opens a document with the desktop's default handler; false when the desktop has no
    // handler for it or the handler cannot be started.
    virtual bool openDocument(const QString &path) = 0;
    virtual ScreenMetrics screen() const = 0;
    // Long runs report file i of n; a terminal shows it, windows ignore it.
    virtual void progress(int /*index*/, int /*count*/, const QString & /*name*/) {}
};

// The toolkit in use. Defaults to the Qt toolkit; tests and the command line install a scripted one.
Toolkit &toolkit();
// Installs `toolkit` (nullptr: the Qt toolkit) and returns the one it replaces (nullptr when
// that was the Qt toolkit), so that whoever installs one can put the previous one back.
Toolkit *setToolkit(Toolkit *toolkit);

// Busy (hourglass) pointer for the lifetime of the object, restored on every path out.
class BusyPointer {
public:
    BusyPointer() { toolkit().setBusy(true); }
    ~BusyPointer() { toolkit().setBusy(false); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

// Lets the window's events run. On any other thread (a worker of a bulk run) there are no
// events of the window's to run, so it does nothing.
void doEvents();
inline double twipsPerPixelX() { return toolkit().screen().twipsPerPixelX; }
inline double twipsPerPixelY() { return toolkit().screen().twipsPerPixelY; }

// Widens a message box so that its title shows whole in the title bar: the box sizes itself
// by its text alone, and a short message under a long title would have the title elided.
void widenForTitle(QMessageBox &box);

class QtToolkit : public Toolkit {
public:
    MsgResult messageBox(const QString &text, const QString &title, MsgIcon icon,
                         MsgButtons buttons, MsgRole role = MsgRole::Notice) override;
    QString inputBox(const QString &prompt, const QString &title) override;
    std::optional<QString> showOpen(const QString &filter, const QString &title, QWidget *owner,
                                    const QString &startFolder = {}) override;
    bool showFont(FontSpec &font, QWidget *owner) override;
    QString browseForFolder(QWidget *owner, const QString &startFolder = {}) override;
    void setBusy(bool busy) override;
    void doEvents() override;
    bool openDocument(const QString &path) override;
    ScreenMetrics screen() const override;
};

// Answers from queues and records everything it was asked. An empty queue gives the
// "cancel" answer (or OK / Yes for message boxes, see defaultAnswer).
class ScriptedToolkit : public Toolkit {
public:
    struct Message {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
        MsgResult answer;
        MsgRole role;
    };

    std::deque<MsgResult> messageAnswers;           // for Yes/No boxes
    MsgResult defaultAnswer = MsgResult::Yes;       // when messageAnswers is empty
    std::deque<QString> inputAnswers;
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<FontSpec>> fontAnswers;
    std::deque<QString> folderAnswers;
    ScreenMetrics metrics;                           // 15 twips per pixel, 1920-pixel screen

    std::vector<Message> messages;
    // Keeps a message as if a box had shown it, and hands it to onMessage when `notify`.
    void record(const Message &m, bool notify = true);
    QStringList inputPrompts;
    QStringList openTitles;
    QStringList openFilters;
    QStringList openStartFolders;                    // where each open-file dialog started
    QStringList folderStartFolders;                  // where each folder picker started
    std::vector<FontSpec> fontShown;                 // what each font dialog opened on
    QStringList openedDocuments;
    bool documentHandler = true;                     // whether the desktop opens documents
    int busyDepth = 0;
    int doEventsCount = 0;
    // Called for every message box as it is shown (the command line prints them).
    std::function<void(const Message &)> onMessage;
    // Called on every doEvents (tests use it to act while a run lets events run).
    std::function<void()> onDoEvents;

    MsgResult messageBox(const QString &text, const QString &title, MsgIcon icon,
                         MsgButtons buttons, MsgRole role = MsgRole::Notice) override;
    QString inputBox(const QString &prompt, const QString &title) override;
    std::optional<QString> showOpen(const QString &filter, const QString &title, QWidget *owner,
                                    const QString &startFolder = {}) override;
    bool showFont(FontSpec &font, QWidget *owner) override;
    QString browseForFolder(QWidget *owner, const QString &startFolder = {}) override;
    void setBusy(bool busy) override;
    void doEvents() override;
    bool openDocument(const QString &path) override;
    ScreenMetrics screen() const override { return metrics; }
    void progress(int index, int count, const QString &name) override {
        if (onProgress) onProgress(index, count, name);
    }
    std::function<void(int, int, const QString &)> onProgress;

    const Message *lastMessage() const { return messages.empty() ? nullptr : &messages.back(); }
};

// Installs a toolkit for the lifetime of the object, then puts back the one it replaced, so
// that scopes nest (a command-line session inside a test keeps the test's toolkit).
class ScopedToolkit {
public:
    explicit ScopedToolkit(Toolkit &t) : previous_(setToolkit(&t)) {}
    ~ScopedToolkit() { setToolkit(previous_); }
    ScopedToolkit(const ScopedToolkit &) = delete;
    ScopedToolkit &operator=(const ScopedToolkit &) = delete;

private:
    Toolkit *previous_;
};

} // namespace platform
