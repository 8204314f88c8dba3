#include "tools/BatchRun.h"

#include "platform/Files.h"

namespace tools {
namespace {

const QString kInvalidSeparator = QStringLiteral(" ; ");

} // namespace

EntryName splitEntryName(const QString &curfile)
{
    const QString curext = platform::lowerExtension(curfile);
    return {curext, curfile.left(curfile.size() - curext.size())};
}

bool isAcceptedExtension(const QString &curext, const QStringList &accepted)
{
    return !curext.isEmpty() && accepted.contains(curext);
}

void noteInvalid(QString &invalidlist, int &invalidcount, const QString &name)
{
    ++invalidcount;
    invalidlist = name + kInvalidSeparator + invalidlist;
}

FitResult fitInto(double w, double h, double innerW, double innerH)
{
    FitResult r;
    if (w > innerW) {
        r.width = innerW;
        h = h * innerW / w;
        r.reducedWidth = true;
    } else {
        r.width = w;
    }
    if (h > innerH) {
        r.height = innerH;
        r.width = r.width * innerH / h;
        r.reducedHeight = true;
    } else {
        r.height = h;
    }
    return r;
}

QString completionReport(const ReportTexts &t, int n, const QString &invalidlist, int invalidcount)
{
    const QString crlf = QStringLiteral("\r\n");
    constexpr int kGapAfterFirstLine = 28;
    constexpr int kGapAroundList = 35;
    const QString gap28(kGapAfterFirstLine, QLatin1Char(' '));
    const QString gap35(kGapAroundList, QLatin1Char(' '));
    return t.firstStart + QString::number(n) + t.firstEnd + crlf + gap28 + crlf + t.header + crlf +
           t.dashLine + crlf + gap35 + crlf + invalidlist + crlf + gap35 + crlf + t.total +
           QString::number(invalidcount);
}

} // namespace tools
