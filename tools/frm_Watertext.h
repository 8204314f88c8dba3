#pragma once
#include "tools/WatermarkWindow.h"

class QAction;
class QLabel;
class QMenu;

// Text watermark: the text, white on black on a hidden text surface, is blended onto each
// picture with the constant opacity of a transparency level, so the glyphs lighten the
// picture and the black leaves it unchanged.
class frm_Watertext : public tools::WatermarkWindow {
    Q_OBJECT
public:
    explicit frm_Watertext(QWidget *parent = nullptr);

    QString &vartext;   // the watermark text, as the recipe holds it

    QMenu *mnu_file = nullptr;
    QAction *mnu_font = nullptr;
    QAction *mnu_loadpic = nullptr;
    QAction *mnu_10 = nullptr, *mnu_20 = nullptr, *mnu_30 = nullptr, *mnu_40 = nullptr,
            *mnu_50 = nullptr, *mnu_60 = nullptr, *mnu_70 = nullptr, *mnu_80 = nullptr,
            *mnu_90 = nullptr;
    QAction *mnu_txtwtr = nullptr;
    QAction *mnu_sav = nullptr;
    QLabel *lblfont = nullptr;

    static const QStringList kLevels;
    static const QString kDefaultLevel;

    void Form_Activate() override;
    void Form_MouseMove() override;
    void mnu_font_Click();
    void mnu_txtwtr_Click();
    // lblfont by the font label rule.
    void writeFontLabel();

protected:
    void clearEntryLabels() override;
};
