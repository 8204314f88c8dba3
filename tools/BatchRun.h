#pragma once
#include <QString>
#include <QStringList>

// The parts of the picture tools' batch run that need no window: naming of listing entries,
// the invalid-file list, the fit arithmetic and the completion report. The window side is
// ToolWindow.
namespace tools {

// Extension of a listing entry from its last "." (lower-cased, dot included, empty without a
// dot) and the name without it (case unchanged).
struct EntryName {
    QString curext;
    QString basename;
};
EntryName splitEntryName(const QString &curfile);
bool isAcceptedExtension(const QString &curext, const QStringList &accepted);

// Skipped files are listed newest first, each followed by " ; ".
void noteInvalid(QString &invalidlist, int &invalidcount, const QString &name);

// The fit of a picture into a box, in one unit for all lengths: the width is reduced first,
// then the height of the result; comparisons are strict and a picture is never enlarged.
struct FitResult {
    double width = 0;
    double height = 0;
    bool reducedWidth = false;
    bool reducedHeight = false;
};
FitResult fitInto(double w, double h, double innerW, double innerH);

// The completion report, joined from its pieces in this order; `invalidlist` already holds
// "None" when nothing was skipped.
struct ReportTexts {
    QString firstStart;   // "Inserting text for "
    QString firstEnd;     // " file(s) DONE."
    QString header;       // "Below are the invalid file format:-"
    QString dashLine;     // dashes and two blanks
    QString total;        // "Total invalid file(s) : "
};
QString completionReport(const ReportTexts &texts, int n, const QString &invalidlist,
                         int invalidcount);

} // namespace tools
