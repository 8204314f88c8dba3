#include "tools/frm_Addtext.h"

#include "platform/Toolkit.h"
#include "shell/Texts.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace {

const double kResetFontSize = tools::defaultFontSizeOf(tools::ToolKind::Text);

} // namespace


frm_Addtext::frm_Addtext(QWidget *parent)
    : tools::ToolWindow(QStringLiteral("frm_Addtext"), std::make_unique<tools::AddtextRecipe>(),
                        tools::kToolClientWidth, tools::kToolClientHeight,
                        QStringLiteral("bg/bg.jpg"), parent),
      vartext(static_cast<tools::AddtextRecipe &>(run().recipe()).vartext)
{
    mnu_files = addFileSelectionMenu();
    addTargetMenu(QStringLiteral("&Target Directory"));
    mnu_font = menuBar()->addMenu(QStringLiteral("Font"));
    mnu_fontstyle = addCommand(QStringLiteral("St&yle"), [this] { mnu_fontstyle_Click(); }, mnu_font);
    mnu_fontcolor = mnu_font->addMenu(QStringLiteral("Color"));
    QAction **colourActions[] = {&mnu_black, &mnu_blue,    &mnu_red,  &mnu_yellow,
                                 &mnu_green, &mnu_magenta, &mnu_cyan, &mnu_white};
    const char *designCaptions[] = {"Black", "Blue", "Red", "Yellow", "Green", "Magenta", "Cyan", "White"};
    for (int i = 0; i < int(tools::textColours().size()); ++i)
        *colourActions[i] = addCommand(QString::fromLatin1(designCaptions[i]),
                                       [this, i] { mnu_color_Click(i); }, mnu_fontcolor);
    mnu_load = addCommand(QStringLiteral("&Load Picture"), [this] { mnu_load_Click(); });
    mnu_addtext = addCommand(QStringLiteral("T&ext to be Added"), [this] { mnu_addtext_Click(); });
    mnu_sav = addCommand(QStringLiteral("&Save"), [this] { mnu_sav_Click(); });
    addOptionsMenu();
    addExitMenu();
    lblfont = addLabel("lblfont", 4680, 1440);
}

void frm_Addtext::Form_Activate()
{
    setWindowTitle(shell::tx("addtext.title"));
    setCommonCaptions(mnu_files);
    mnu_fontstyle->setText(shell::tx("addtext.mnu_fontstyle"));
    mnu_fontcolor->setTitle(shell::tx("addtext.mnu_fontcolor"));
    QAction *colourActions[] = {mnu_black, mnu_blue, mnu_red, mnu_yellow,
                                mnu_green, mnu_magenta, mnu_cyan, mnu_white};
    for (int i = 0; i < int(tools::textColours().size()); ++i)
        colourActions[i]->setText(shell::tx(tools::textColours()[i].key));
    mnu_load->setText(shell::tx("addtext.mnu_load"));
    mnu_addtext->setText(shell::tx("addtext.mnu_addtext"));
    mnu_sav->setText(shell::tx("addtext.mnu_sav"));

    ToolWindow::Form_Activate();
    resetFont(kResetFontSize);
    CommonDialog.Color = QColor(tools::textColours()[0].rgb);
    varcolor = shell::tx(tools::textColours()[0].key);
    writeFontLabel();
}

void frm_Addtext::writeFontLabel()
{
    lblfont->setText(fontLabelText() + shell::tx("addtext.label.color") + varcolor);
}

void frm_Addtext::Form_MouseMove() { setWindowTitle(shell::tx("addtext.title")); }

void frm_Addtext::mnu_fontstyle_Click()
{
    if (chooseFont())
        writeFontLabel();
}

void frm_Addtext::mnu_color_Click(int index)
{
    if (isBusy() || index < 0 || index >= int(tools::textColours().size()))
        return;
    CommonDialog.Color = QColor(tools::textColours()[index].rgb);
    varcolor = shell::tx(tools::textColours()[index].key);
    writeFontLabel();
}

void frm_Addtext::mnu_addtext_Click()
{
    if (isBusy())
        return;
    vartext = platform::toolkit().inputBox(shell::tx("addtext.prompt"), shell::tx("common.title.pixmar"));
}

void frm_Addtext::clearEntryLabels()
{
    lblfont->clear();
    ToolWindow::clearEntryLabels();
}
