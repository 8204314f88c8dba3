#pragma once
#include "tools/WatermarkWindow.h"

class QAction;
class QLabel;
class QMenu;

// Logo watermark: the text watermark with a logo in place of the text. The logo is loaded at
// its own size on black through the scaled loader and blended onto each picture with the
// constant opacity of a transparency level. Its own pixels keep the logo's alpha on the logo
// surface, so it is laid over the picture at that opacity and its transparent parts (black,
// alpha 0) leave the picture unchanged.
class frm_WaterLogo : public tools::WatermarkWindow {
    Q_OBJECT
public:
    explicit frm_WaterLogo(QWidget *parent = nullptr);

    QString &varlogo;   // the chosen logo file, as the recipe holds it; kept after a run

    QMenu *mnu_file = nullptr;
    QAction *mnu_loadpic = nullptr;
    QAction *mnu_0 = nullptr, *mnu_10 = nullptr, *mnu_20 = nullptr, *mnu_30 = nullptr,
            *mnu_40 = nullptr, *mnu_50 = nullptr, *mnu_60 = nullptr, *mnu_70 = nullptr,
            *mnu_80 = nullptr, *mnu_90 = nullptr;
    QAction *mnu_txtwtr = nullptr;
    QAction *mnu_sav = nullptr;
    QLabel *lblogo = nullptr;

    static const QStringList kLevels;
    static const QString kDefaultLevel;
    // The logo dialog's filter: four entries, the first one's pattern beginning with a blank.
    static const QString kLogoFilter;

    void Form_Activate() override;
    void Form_MouseMove() override;
    // Chooses the logo file.
    void mnu_txtwtr_Click();

protected:
    void clearEntryLabels() override;
};
