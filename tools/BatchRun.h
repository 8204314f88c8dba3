#pragma once
#include <functional>
#include "platform/Picture.h"
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// The parts of the picture tools' batch run that need no window: naming of listing entries,
// the invalid-file list, the fit arithmetic, the completion report, the intermediate bitmap
// file and its conversion through FreeImage. The window side is ToolWindow.
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
void noteInvalid(QString &invalidlist, qint16 &invalidcount, bool &invalidflag,
                 const QString &name);

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

// FreeImage format codes the conversion writes.
constexpr int kFormatBitmap = 0;   // FIF_BMP
constexpr int kFormatJpeg = 2;     // FIF_JPEG
constexpr int kFormatPng = 13;     // FIF_PNG
constexpr int kFormatTiff = 18;    // FIF_TIFF
// The format the output's extension names; a bitmap for an extension that names none.
int formatCodeFor(const QString &curext);

// Converts a bitmap file that Pixmar wrote itself (24 bits per pixel, 40-byte header) into
// `outputPath` in the given format. Throws platform::AppError when FreeImage cannot read the
// bitmap or cannot write the output, so that a file that was not written is never counted.
// `jpegQuality` (1 to 100) is used when the format is JPEG. With `photoInformationFrom`, that
// file's photo information goes into a JPEG, PNG or TIFF output (tools/PhotoInformation.h);
// what cannot is left out with a warning in the log.
void convertBitmapFile(const QString &bitmapPath, const QString &outputPath, int formatCode,
                       int jpegQuality = 75, const QString &photoInformationFrom = {});

// An output written under a temporary name beside it, put in place by commit(): a failed or
// dropped output leaves no file behind, and a link standing at the output's name is replaced
// rather than written through. Whatever was not committed goes with the object.
class StagedOutput {
public:
    StagedOutput() = default;
    // Stages `data`; throws platform::AppError when it cannot.
    StagedOutput(const QByteArray &data, const QString &outputPath);
    // Stages the bytes `write` puts into the staged file's descriptor; whatever it throws
    // leaves no file behind.
    StagedOutput(const QString &outputPath, const std::function<void(int fd)> &write);
    StagedOutput(StagedOutput &&other) noexcept;
    StagedOutput &operator=(StagedOutput &&other) noexcept;
    ~StagedOutput();

    const QString &outputPath() const { return output_; }
    // Renames the staged file to the output; throws platform::AppError when it cannot.
    void commit();

private:
    void discard() noexcept;
    QString staged_;   // empty once committed or dropped
    QString output_;
};

// The conversion, staged: committed in turn by whoever holds it.
StagedOutput stageBitmapFile(const QString &bitmapPath, const QString &outputPath, int formatCode,
                             int jpegQuality = 75, const QString &photoInformationFrom = {});

// Writes `data` as the output file, staged and committed at once.
void writeOutputFile(const QByteArray &data, const QString &outputPath);

// The intermediate bitmap of one entry. Its name is claimed when the object is made: the
// wanted name when no file has it, else the next free one, so that the run never replaces a
// file it did not create. Whatever is still there when the object goes is removed, so an
// entry that fails half way leaves nothing behind.
class IntermediateFile {
public:
    // Throws platform::AppError when no name can be claimed in `folder`.
    IntermediateFile(const QString &folder, const QString &stem, const QString &suffix);
    ~IntermediateFile();
    IntermediateFile(const IntermediateFile &) = delete;
    IntermediateFile &operator=(const IntermediateFile &) = delete;

    const QString &path() const { return path_; }
    // Writes the picture, given whole or a band at a time, as a 24-bit bitmap; throws
    // platform::AppError.
    void write(QSize size, const platform::PictureBand &band);
    void write(const QImage &image) { write(image.size(), platform::bandsOf(image)); }
    // Deletes the file now; throws platform::AppError when that fails.
    void remove();

private:
    QString path_;
    bool owned_ = false;
};

} // namespace tools
