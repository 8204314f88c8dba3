#include "tools/OutputOptions.h"

#include "platform/Settings.h"
#include "shell/Texts.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QThread>

#include <algorithm>

namespace tools {

int OutputOptions::threadCount() const
{
    return jobs > 0 ? jobs : std::max(1, QThread::idealThreadCount());
}

OptionsMenu::OptionsMenu(QMenuBar *bar, OutputOptions &options, const char *settingsGroup,
                         bool offersLossless, QObject *parent, bool offersPlacement)
    : QObject(parent), options_(options), group_(QString::fromLatin1(settingsGroup))
{
    menu = bar->addMenu(QStringLiteral("Options"));
    menu->setObjectName(QStringLiteral("mnu_options"));
    // A submenu of numbers, one checked at most: a value given on the command line may be on
    // no entry.
    auto choices = [this](const QString &title, const auto &values, int OutputOptions::*field,
                          QActionGroup *&group, auto &actions) {
        QMenu *sub = menu->addMenu(title);
        group = new QActionGroup(this);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (size_t i = 0; i < values.size(); ++i) {
            QAction *a = sub->addAction(QString::number(values[i]));
            a->setCheckable(true);
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, field, v = values[i]] {
                options_.*field = v;
                remember();
            });
            actions[i] = a;
        }
        return sub;
    };
    qualityMenu = choices(QStringLiteral("JPEG Quality"), kQualityChoices, &OutputOptions::quality,
                          qualityGroup_, qualityActions);
    threadsMenu = choices(QStringLiteral("Worker Threads"), kJobsChoices, &OutputOptions::jobs,
                          threadsGroup_, threadsActions);
    auto toggle = [this](bool OutputOptions::*field) {
        QAction *a = menu->addAction(QString());
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, field](bool on) {
            options_.*field = on;
            remember();
        });
        return a;
    };
    originalSize = toggle(&OutputOptions::originalSize);
    keepMetadata = toggle(&OutputOptions::keepMetadata);
    allFormats = toggle(&OutputOptions::allFormats);
    formatMenu = menu->addMenu(QStringLiteral("Output Format"));
    {
        auto *group = new QActionGroup(this);
        for (size_t i = 0; i < formatActions.size(); ++i) {
            QAction *a = formatMenu->addAction(
                i == 0 ? QString() : QLatin1String(platform::formats::get(kOutputFormatChoices[i - 1]).filterName));
            a->setCheckable(true);
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, i] {
                options_.format = i == 0 ? std::nullopt : std::optional(kOutputFormatChoices[i - 1]);
                remember();
            });
            formatActions[i] = a;
        }
    }
    if (offersLossless)
        lossless = toggle(&OutputOptions::lossless);
    if (offersPlacement)
        addPlacementMenu();

    // A setting edited by hand into something out of range reads as the default.
    OutputOptions kept;
    const int q = platform::setting(key("quality"), kept.quality).toInt();
    kept.quality = OutputOptions::qualityAllowed(q) ? q : OutputOptions::kDefaultQuality;
    kept.originalSize = platform::setting(key("originalSize"), false).toBool();
    kept.keepMetadata = platform::setting(key("keepMetadata"), false).toBool();
    kept.allFormats = platform::setting(key("allFormats"), false).toBool();
    const int format = platform::setting(key("format"), -1).toInt();
    for (platform::formats::Id id : kOutputFormatChoices)
        if (int(id) == format)
            kept.format = id;
    kept.lossless = offersLossless && platform::setting(key("lossless"), false).toBool();
    const int jobs = platform::setting(key("jobs"), 0).toInt();
    kept.jobs = OutputOptions::jobsAllowed(jobs) ? jobs : 0;
    if (offersPlacement) {
        MarkPlacement placed;
        placed.mode = PlacementMode(std::clamp(platform::setting(key("placement"), 0).toInt(), 0, 2));
        placed.anchor = anchorNamed(platform::setting(key("anchor"), anchorName(placed.anchor)).toString())
                            .value_or(placed.anchor);
        placed.marginPercent = platform::setting(key("margin"), placed.marginPercent).toDouble();
        placed.sizePercent = platform::setting(key("markSize"), placed.sizePercent).toDouble();
        kept.placement = placed.leavesRoom() ? placed : MarkPlacement{};
    }
    options_ = kept;
    setCaptions();
    showChoices();
}

QString OptionsMenu::key(const char *name) const
{
    return group_ + QStringLiteral("/options/") + QLatin1String(name);
}

void OptionsMenu::remember()
{
    platform::setSetting(key("quality"), options_.quality);
    platform::setSetting(key("originalSize"), options_.originalSize);
    platform::setSetting(key("keepMetadata"), options_.keepMetadata);
    platform::setSetting(key("allFormats"), options_.allFormats);
    platform::setSetting(key("format"), options_.format ? int(*options_.format) : -1);
    platform::setSetting(key("jobs"), options_.jobs);
    if (lossless)
        platform::setSetting(key("lossless"), options_.lossless);
    if (placementMenu) {
        const MarkPlacement &p = options_.placement;
        platform::setSetting(key("placement"), int(p.mode));
        platform::setSetting(key("anchor"), anchorName(p.anchor));
        platform::setSetting(key("margin"), p.marginPercent);
        platform::setSetting(key("markSize"), p.sizePercent);
    }
    showChoices();
    emit changed();
}

void OptionsMenu::addPlacementMenu()
{
    placementMenu = menu->addMenu(QStringLiteral("Placement"));
    auto exclusive = [this](QMenu *under, auto &actions, const auto &values, auto set) {
        auto *group = new QActionGroup(this);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (size_t i = 0; i < actions.size(); ++i) {
            QAction *a = under->addAction(QString());
            a->setCheckable(true);
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, set, v = values[i]] {
                set(options_.placement, v);
                remember();
            });
            actions[i] = a;
        }
    };
    static constexpr std::array<PlacementMode, 3> modes = {PlacementMode::Clicked, PlacementMode::Relative,
                                                          PlacementMode::Anchored};
    exclusive(placementMenu, placementActions, modes, [](MarkPlacement &p, PlacementMode m) { p.mode = m; });
    placementMenu->addSeparator();
    anchorMenu = placementMenu->addMenu(QStringLiteral("Anchor"));
    exclusive(anchorMenu, anchorActions, kAnchors, [](MarkPlacement &p, Anchor a) {
        p.anchor = a;
        p.mode = PlacementMode::Anchored;
    });
    marginMenu = placementMenu->addMenu(QStringLiteral("Margin"));
    exclusive(marginMenu, marginActions, kMarginChoices, [](MarkPlacement &p, int v) {
        p.marginPercent = v;
        p.mode = PlacementMode::Anchored;
    });
    markSizeMenu = placementMenu->addMenu(QStringLiteral("Mark Size"));
    exclusive(markSizeMenu, markSizeActions, kMarkSizeChoices, [](MarkPlacement &p, int v) {
        p.sizePercent = v;
        p.mode = PlacementMode::Anchored;
    });
    for (size_t i = 0; i < kMarginChoices.size(); ++i)
        marginActions[i]->setText(QString::number(kMarginChoices[i]) + QLatin1Char('%'));
    for (size_t i = 0; i < kMarkSizeChoices.size(); ++i)
        markSizeActions[i]->setText(QString::number(kMarkSizeChoices[i]) + QLatin1Char('%'));
}

void OptionsMenu::apply(const OutputOptions &o)
{
    options_ = o;
    if (!lossless)
        options_.lossless = false;
    showChoices();
    emit changed();
}

void OptionsMenu::setCaptions()
{
    menu->setTitle(shell::tx("common.mnu_options"));
    qualityMenu->setTitle(shell::tx("common.mnu_quality"));
    originalSize->setText(shell::tx("common.mnu_originalSize"));
    keepMetadata->setText(shell::tx("common.mnu_keepMetadata"));
    allFormats->setText(shell::tx("common.mnu_allFormats"));
    formatMenu->setTitle(shell::tx("common.mnu_outputFormat"));
    formatActions[0]->setText(shell::tx("common.mnu_sameFormat"));
    for (size_t i = 1; i < formatActions.size(); ++i) {
        const QByteArray k = QByteArray("common.mnu_format.") + platform::formats::get(kOutputFormatChoices[i - 1]).filterName;
        formatActions[i]->setText(shell::tx(k.constData()));
    }
    if (lossless)
        lossless->setText(shell::tx("common.mnu_lossless"));
    threadsMenu->setTitle(shell::tx("common.mnu_threads"));
    threadsActions[0]->setText(shell::tx("common.mnu_threadsAuto"));
    if (placementMenu) {
        placementMenu->setTitle(shell::tx("common.mnu_placement"));
        placementActions[0]->setText(shell::tx("common.mnu_placeClicked"));
        placementActions[1]->setText(shell::tx("common.mnu_placeRelative"));
        placementActions[2]->setText(shell::tx("common.mnu_placeAnchored"));
        anchorMenu->setTitle(shell::tx("common.mnu_anchor"));
        for (Anchor a : kAnchors) {
            const QByteArray k = "common.mnu_anchor." + anchorName(a).toLatin1();
            anchorActions[size_t(a)]->setText(shell::tx(k.constData()));
        }
        marginMenu->setTitle(shell::tx("common.mnu_margin"));
        markSizeMenu->setTitle(shell::tx("common.mnu_markSize"));
    }
}

void OptionsMenu::showChoices()
{
    for (size_t i = 0; i < kQualityChoices.size(); ++i)
        qualityActions[i]->setChecked(options_.quality == kQualityChoices[i]);
    for (size_t i = 0; i < kJobsChoices.size(); ++i)
        threadsActions[i]->setChecked(options_.jobs == kJobsChoices[i]);
    originalSize->setChecked(options_.originalSize);
    keepMetadata->setChecked(options_.keepMetadata);
    allFormats->setChecked(options_.allFormats);
    for (size_t i = 0; i < formatActions.size(); ++i)
        formatActions[i]->setChecked(i == 0 ? !options_.format : options_.format == kOutputFormatChoices[i - 1]);
    if (lossless)
        lossless->setChecked(options_.lossless);
    if (placementMenu) {
        const MarkPlacement &p = options_.placement;
        for (size_t i = 0; i < placementActions.size(); ++i)
            placementActions[i]->setChecked(int(p.mode) == int(i));
        for (Anchor a : kAnchors)
            anchorActions[size_t(a)]->setChecked(p.anchor == a);
        for (size_t i = 0; i < kMarginChoices.size(); ++i)
            marginActions[i]->setChecked(p.marginPercent == kMarginChoices[i]);
        for (size_t i = 0; i < kMarkSizeChoices.size(); ++i)
            markSizeActions[i]->setChecked(p.sizePercent == kMarkSizeChoices[i]);
    }
}

QString OptionsMenu::summary() const
{
    QStringList parts;
    if (options_.quality != OutputOptions::kDefaultQuality)
        parts << shell::tx("common.label.quality").arg(options_.quality);
    if (options_.originalSize)
        parts << shell::tx("common.mnu_originalSize");
    if (options_.keepMetadata)
        parts << shell::tx("common.mnu_keepMetadata");
    if (options_.allFormats)
        parts << shell::tx("common.mnu_allFormats");
    if (options_.format)
        parts << shell::tx("common.label.outputFormat").arg(QLatin1String(platform::formats::get(*options_.format).filterName));
    if (options_.lossless)
        parts << shell::tx("common.mnu_lossless");
    if (options_.jobs != 0)
        parts << shell::tx("common.label.threads").arg(options_.jobs);
    if (options_.placement.mode == PlacementMode::Relative)
        parts << shell::tx("common.label.relative");
    else if (options_.placement.mode == PlacementMode::Anchored) {
        const MarkPlacement &p = options_.placement;
        const QByteArray k = "common.mnu_anchor." + anchorName(p.anchor).toLatin1();
        parts << shell::tx("common.label.anchored")
                     .arg(shell::tx(k.constData()), QString::number(p.marginPercent),
                          QString::number(p.sizePercent));
    }
    if (parts.isEmpty())
        return {};
    return shell::tx("common.label.options") + parts.join(QStringLiteral(", "));
}

} // namespace tools
