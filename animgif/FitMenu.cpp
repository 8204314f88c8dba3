#include "animgif/FitMenu.h"
#include "animgif/AnimGifRules.h"
#include "platform/Settings.h"
#include "shell/Texts.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace animgif {

const QString FitMenu::kSettingKey = QStringLiteral("animgif/fit");

FitMenu::FitMenu(QMenuBar *bar, QObject *parent) : QObject(parent)
{
    menu = bar->addMenu(QStringLiteral("Frame Size"));
    menu->setObjectName(QStringLiteral("mnu_fit"));
    group_ = new QActionGroup(this);
    // A box given on the command line may be on no entry, so no entry need be checked.
    group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    original = menu->addAction(QString());
    original->setCheckable(true);
    group_->addAction(original);
    connect(original, &QAction::triggered, this, [this] { choose(QSize(), true); });
    for (const QSize &b : kFitChoices) {
        QAction *a = menu->addAction(QString());
        a->setCheckable(true);
        group_->addAction(a);
        connect(a, &QAction::triggered, this, [this, b] { choose(b, true); });
        boxes.push_back(a);
    }
    // A setting that does not read as a box (edited by hand, say) keeps the sizes.
    box_ = parseFitBox(platform::setting(kSettingKey).toString()).value_or(QSize());
    setCaptions();
    showChoice();
}

void FitMenu::choose(QSize box, bool remember)
{
    box_ = box.isEmpty() ? QSize() : box;
    if (remember)
        platform::setSetting(kSettingKey, fitBoxText(box_));
    showChoice();
}

void FitMenu::setCaptions()
{
    menu->setTitle(shell::tx("animgif.mnu_fit"));
    original->setText(shell::tx("animgif.mnu_fitOriginal"));
    for (size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->setText(shell::tx("animgif.mnu_fitWithin")
                              .arg(kFitChoices[i].width())
                              .arg(kFitChoices[i].height()));
}

void FitMenu::showChoice()
{
    original->setChecked(box_.isEmpty());
    for (size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->setChecked(box_ == kFitChoices[i]);
}

} // namespace animgif
