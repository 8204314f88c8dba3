#pragma once
#include "tools/AddtextRecipe.h"
#include "tools/Job.h"
#include "tools/ToolWindow.h"

#include <array>

class QAction;
class QLabel;
class QMenu;

// Insert text on picture: a line of text in the chosen font, size, style and colour, printed
// where the user clicked the preview, on one picture or every picture of a folder.
class frm_Addtext : public tools::ToolWindow {
    Q_OBJECT
public:
    explicit frm_Addtext(QWidget *parent = nullptr);

    QString &vartext;   // the text to insert, as the recipe holds it
    QString varcolor;   // display name of the chosen colour

    QMenu *mnu_files = nullptr;
    QMenu *mnu_font = nullptr;
    QAction *mnu_fontstyle = nullptr;
    QMenu *mnu_fontcolor = nullptr;
    QAction *mnu_black = nullptr, *mnu_blue = nullptr, *mnu_red = nullptr, *mnu_yellow = nullptr,
            *mnu_green = nullptr, *mnu_magenta = nullptr, *mnu_cyan = nullptr, *mnu_white = nullptr;
    QAction *mnu_load = nullptr;
    QAction *mnu_addtext = nullptr;
    QAction *mnu_sav = nullptr;
    QLabel *lblfont = nullptr;

    void Form_Activate() override;
    void Form_MouseMove() override;
    void mnu_fontstyle_Click();
    // The eight colour entries behave alike; `index` is their place in the Color menu.
    void mnu_color_Click(int index);
    void mnu_black_Click() { mnu_color_Click(0); }
    void mnu_blue_Click() { mnu_color_Click(1); }
    void mnu_red_Click() { mnu_color_Click(2); }
    void mnu_yellow_Click() { mnu_color_Click(3); }
    void mnu_green_Click() { mnu_color_Click(4); }
    void mnu_magenta_Click() { mnu_color_Click(5); }
    void mnu_cyan_Click() { mnu_color_Click(6); }
    void mnu_white_Click() { mnu_color_Click(7); }
    void mnu_load_Click() { loadStep(); }
    void mnu_addtext_Click();
    void mnu_sav_Click() { batchRun(); }


    // lblfont by the font label rule.
    void writeFontLabel();

protected:
    void clearEntryLabels() override;
};
