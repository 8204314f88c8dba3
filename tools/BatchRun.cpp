#include "tools/BatchRun.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Picture.h"

#include <FreeImage.h>

#include <QDir>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <memory>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcBatch, "pixmar.tools.batch", QtWarningMsg)

namespace tools {
namespace {

const QString kInvalidSeparator = QStringLiteral(" ; ");

// FreeImage reports why a load or save failed only through its message callback; the last
// message is kept so that the error shown to the user can say why.
QString &lastFreeImageMessage()
{
    static QString message;
    return message;
}

void freeImageMessage(FREE_IMAGE_FORMAT, const char *message)
{
    lastFreeImageMessage() = QString::fromLocal8Bit(message);
    qCDebug(lcBatch) << "FreeImage:" << lastFreeImageMessage();
}

void listenToFreeImage()
{
    static const bool once = [] {
        FreeImage_SetOutputMessage(freeImageMessage);
        return true;
    }();
    (void)once;
}

struct FreeImageUnload {
    void operator()(FIBITMAP *bitmap) const { FreeImage_Unload(bitmap); }
};
using FreeImageBitmap = std::unique_ptr<FIBITMAP, FreeImageUnload>;

[[noreturn]] void conversionFailed(const QString &what, const QString &path)
{
    QString description = what.arg(QDir::toNativeSeparators(path));
    if (!lastFreeImageMessage().isEmpty())
        description += QStringLiteral(" (%1)").arg(lastFreeImageMessage());
    throw platform::AppError(platform::err::DeviceIO, QStringLiteral("FreeImage"), description);
}

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

void noteInvalid(QString &invalidlist, qint16 &invalidcount, bool &invalidflag, const QString &name)
{
    invalidflag = true;
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

int formatCodeFor(const QString &curext)
{
    return curext == QLatin1String(".jpg") ? kFormatJpeg : kFormatBitmap;
}

void convertBitmapFile(const QString &bitmapPath, const QString &outputPath, int formatCode)
{
    listenToFreeImage();
    lastFreeImageMessage().clear();
    const QByteArray in = QFile::encodeName(bitmapPath);
    FreeImageBitmap bitmap(FreeImage_Load(FIF_BMP, in.constData(), 0));
    if (!bitmap)
        conversionFailed(QStringLiteral("Cannot read the intermediate bitmap %1"), bitmapPath);
    // The output is written under a temporary name beside it and then renamed into place: a
    // failed save leaves no half-written file, and a link standing at the output's name is
    // replaced rather than written through to whatever it points at.
    const QFileInfo outInfo(outputPath);
    QTemporaryFile staging(outInfo.absolutePath() + QStringLiteral("/.pixmar-XXXXXX"));
    if (!staging.open())
        conversionFailed(QStringLiteral("Cannot write %1"), outputPath);
    staging.close();
    const QByteArray tmp = QFile::encodeName(staging.fileName());
    if (!FreeImage_Save(static_cast<FREE_IMAGE_FORMAT>(formatCode), bitmap.get(), tmp.constData(), 0))
        conversionFailed(QStringLiteral("Cannot write %1"), outputPath);
    // Temporary files are private; the output gets the permissions a new file would get.
    ::chmod(tmp.constData(), mode_t(platform::newFileMode()));
    const QByteArray out = QFile::encodeName(outputPath);
    if (::rename(tmp.constData(), out.constData()) != 0) {
        lastFreeImageMessage() = QString::fromLocal8Bit(std::strerror(errno));
        conversionFailed(QStringLiteral("Cannot write %1"), outputPath);
    }
    staging.setAutoRemove(false);
}

IntermediateFile::IntermediateFile(const QString &folder, const QString &stem, const QString &suffix)
{
    if (!QFileInfo(folder).isDir())
        throw platform::AppError(platform::err::PathNotFound, QStringLiteral("SavePicture"),
                                 QStringLiteral("Target folder not found: %1")
                                     .arg(QDir::toNativeSeparators(folder)));
    // The name is claimed by creating the file, so that nothing can take it between the
    // look-up and the write.
    constexpr int kAttempts = 100;
    for (int i = 0; i < kAttempts; ++i) {
        const QString candidate =
            platform::withSeparator(folder) + platform::freeFileName(folder, stem, suffix);
        QFile f(candidate);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            path_ = candidate;
            owned_ = true;
            return;
        }
        if (f.exists())
            continue;
        const qint64 number = f.error() == QFileDevice::PermissionsError
                                  ? platform::err::PermissionDenied
                                  : platform::err::PathNotFound;
        throw platform::AppError(number, QStringLiteral("SavePicture"),
                                 QStringLiteral("Cannot write %1: %2")
                                     .arg(QDir::toNativeSeparators(candidate), f.errorString()));
    }
    throw platform::AppError(platform::err::DeviceIO, QStringLiteral("SavePicture"),
                             QStringLiteral("No free name for %1%2 in %3")
                                 .arg(stem, suffix, QDir::toNativeSeparators(folder)));
}

IntermediateFile::~IntermediateFile()
{
    if (owned_ && ::unlink(QFile::encodeName(path_).constData()) != 0)
        qCWarning(lcBatch) << "could not remove the intermediate file" << path_;
}

void IntermediateFile::write(const QImage &image) { platform::savePicture(image, path_); }

void IntermediateFile::remove()
{
    platform::deleteFile(path_);
    owned_ = false;
}

} // namespace tools
