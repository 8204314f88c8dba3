#pragma once
#include <QObject>
#include <QSize>
#include <vector>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;

namespace animgif {

// The GIF window's frame-size menu: keep each picture's size, or fit the frames within one of
// a few boxes. The choice is remembered between sessions.
class FitMenu : public QObject {
    Q_OBJECT
public:
    explicit FitMenu(QMenuBar *bar, QObject *parent = nullptr);

    // The box chosen; empty when pictures keep their size.
    QSize box() const { return box_; }
    // Chooses a box (empty: keep sizes). Only a choice the user makes is remembered; the
    // command line sets its own without touching the setting.
    void choose(QSize box, bool remember);
    // Captions in the current language.
    void setCaptions();

    QMenu *menu = nullptr;
    QAction *original = nullptr;
    std::vector<QAction *> boxes;   // one per kFitChoices entry

    static const QString kSettingKey;

private:
    void showChoice();

    QActionGroup *group_ = nullptr;
    QSize box_;
};

} // namespace animgif
