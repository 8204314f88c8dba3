#pragma once
#include "shell/Form.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenuBar>
#include <functional>
#include <vector>

namespace testsupport {

// Plays a user who keeps at a window while its command lets events run: each call (from the
// scripted toolkit's doEvents or progress hook) notes whether any guarded control or menu is
// enabled, tries to close the window, clicks its buttons and then calls `handlers` directly,
// as a click that slipped through would. Calls while the window is not busy do nothing.
class BusyProbe {
public:
    BusyProbe(shell::Form &form, std::vector<QWidget *> controls, std::function<void()> handlers)
        : form_(form), controls_(std::move(controls)), handlers_(std::move(handlers))
    {
    }

    void operator()()
    {
        if (!form_.isBusy())
            return;
        ++pokes;
        anyEnabled = anyEnabled || enabledCount() > 0;
        closed = closed || form_.close();
        for (QWidget *c : controls_)
            if (auto *button = qobject_cast<QAbstractButton *>(c))
                button->click();
        for (QAction *a : form_.menuBar()->actions())
            a->trigger();
        handlers_();
    }

    // Every guarded control and every menu enabled again (the command is over).
    bool allEnabled() const
    {
        return enabledCount() == qsizetype(controls_.size()) + form_.menuBar()->actions().size();
    }

    int pokes = 0;
    bool closed = false;       // a close got through
    bool anyEnabled = false;   // a guarded control or a menu was enabled while busy

private:
    qsizetype enabledCount() const
    {
        qsizetype n = 0;
        for (QWidget *c : controls_)
            n += c->isEnabled();
        for (QAction *a : form_.menuBar()->actions())
            n += a->isEnabled();
        return n;
    }

    shell::Form &form_;
    std::vector<QWidget *> controls_;
    std::function<void()> handlers_;
};

} // namespace testsupport
