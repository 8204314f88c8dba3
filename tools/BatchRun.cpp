#include "tools/BatchRun.h"

#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Picture.h"
#include "tools/PhotoInformation.h"

#include <FreeImage.h>

static_assert(tools::kFormatBitmap == FIF_BMP && tools::kFormatJpeg == FIF_JPEG
              && tools::kFormatPng == FIF_PNG && tools::kFormatTiff == FIF_TIFF);

#include <QDir>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <unistd.h>
#include <utility>

Q_LOGGING_CATEGORY(lcBatch, "pixmar.tools.batch", QtWarningMsg)

namespace tools {
namespace {

const QString kInvalidSeparator = QStringLiteral(" ; ");

// FreeImage reports why a load or save failed only through its message callback; the last
// message is kept so that the error shown to the user can say why. FreeImage calls back on the
// thread that failed, and each worker of a bulk run reports its own file.
QString &lastFreeImageMessage()
{
    static thread_local QString message;
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
        platform::decoder::routeTiffMessages();
        return true;
    }();
    (void)once;
}

struct FreeImageUnload {
    void operator()(FIBITMAP *bitmap) const { FreeImage_Unload(bitmap); }
};
using FreeImageBitmap = std::unique_ptr<FIBITMAP, FreeImageUnload>;

// FreeImage writes an output through these straight into the staged file. The first
// failed write is kept (FreeImage goes on regardless) and every later one refused.
struct FileSink {
    int fd;
    QString path;
    std::exception_ptr failure;
};

FreeImageIO sinkIO()
{
    FreeImageIO io{};
    io.write_proc = [](void *buffer, unsigned size, unsigned count, fi_handle h) -> unsigned {
        auto *sink = static_cast<FileSink *>(h);
        if (sink->failure || size == 0)
            return 0;
        try {
            platform::writeAll(sink->fd, QByteArray::fromRawData(static_cast<const char *>(buffer),
                                                                 qsizetype(size) * count),
                               sink->path);
        } catch (...) {
            sink->failure = std::current_exception();
            return 0;
        }
        return count;
    };
    // TIFF is written out of order and read back while written.
    io.read_proc = [](void *buffer, unsigned size, unsigned count, fi_handle h) -> unsigned {
        auto *sink = static_cast<FileSink *>(h);
        if (size == 0)
            return 0;
        const ssize_t got = ::read(sink->fd, buffer, size_t(size) * count);
        return got <= 0 ? 0u : unsigned(got / size);
    };
    io.seek_proc = [](fi_handle h, long offset, int origin) -> int {
        return ::lseek(static_cast<FileSink *>(h)->fd, off_t(offset), origin) < 0 ? -1 : 0;
    };
    io.tell_proc = [](fi_handle h) -> long { return long(::lseek(static_cast<FileSink *>(h)->fd, 0, SEEK_CUR)); };
    return io;
}

[[noreturn]] void conversionFailed(platform::ErrorKind kind, const QString &path)
{
    throw platform::AppError(kind, {path}, lastFreeImageMessage(), QStringLiteral("FreeImage"));
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
    // Other programs go by the content, not the name: a bitmap named .png is refused or misread.
    if (curext == QLatin1String(".jpg") || curext == QLatin1String(".jpeg"))
        return kFormatJpeg;
    if (curext == QLatin1String(".png"))
        return kFormatPng;
    if (curext == QLatin1String(".tif") || curext == QLatin1String(".tiff"))
        return kFormatTiff;
    return kFormatBitmap;
}

void convertBitmapFile(const QString &bitmapPath, const QString &outputPath, int formatCode,
                       int jpegQuality, const QString &photoInformationFrom)
{
    stageBitmapFile(bitmapPath, outputPath, formatCode, jpegQuality, photoInformationFrom).commit();
}

StagedOutput stageBitmapFile(const QString &bitmapPath, const QString &outputPath, int formatCode,
                             int jpegQuality, const QString &photoInformationFrom)
{
    // FreeImage's own default is quality 75; a JPEG at that quality is written with the
    // default flags, exactly as before there was a choice.
    constexpr int kFreeImageDefaultQuality = 75;
    const int saveFlags = formatCode == kFormatJpeg && jpegQuality != kFreeImageDefaultQuality
        ? std::clamp(jpegQuality, 1, 100)
        : 0;
    listenToFreeImage();
    lastFreeImageMessage().clear();
    const QByteArray in = QFile::encodeName(bitmapPath);
    FreeImageBitmap bitmap(FreeImage_Load(FIF_BMP, in.constData(), 0));
    if (!bitmap)
        conversionFailed(platform::ErrorKind::CannotRead, bitmapPath);
    const auto format = static_cast<FREE_IMAGE_FORMAT>(formatCode);
    if (photoInformationFrom.isEmpty() || formatCode == kFormatBitmap) {
        // Encoded straight into the staged output: a picture at its own size is not held a
        // second time, encoded, in memory.
        return StagedOutput(outputPath, [&](int fd) {
            FileSink sink{fd, outputPath, {}};
            FreeImageIO io = sinkIO();
            const bool saved = FreeImage_SaveToHandle(format, bitmap.get(), &io, &sink, saveFlags);
            // FreeImage does not check its writes: the sink kept what the system said.
            if (sink.failure)
                std::rethrow_exception(sink.failure);
            if (!saved)
                conversionFailed(platform::ErrorKind::CannotWrite, outputPath);
        });
    }
    // The photo information goes into the encoded picture, so it is encoded in memory first.
    struct MemoryClose {
        void operator()(FIMEMORY *m) const { FreeImage_CloseMemory(m); }
    };
    std::unique_ptr<FIMEMORY, MemoryClose> encoded(FreeImage_OpenMemory());
    if (!encoded || !FreeImage_SaveToMemory(format, bitmap.get(), encoded.get(), saveFlags))
        conversionFailed(platform::ErrorKind::CannotWrite, outputPath);
    bitmap.reset();
    BYTE *bytes = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(encoded.get(), &bytes, &size);
    // FreeImage's buffer grows by doubling: the encoded picture is kept at its own size.
    QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    encoded.reset();
    QString warning;
    data = withPhotoInformation(data, photoInformationFrom, warning);
    if (!warning.isEmpty())
        qCWarning(lcBatch).noquote() << outputPath << "written without some photo information:" << warning;
    return StagedOutput(data, outputPath);
}

void writeOutputFile(const QByteArray &data, const QString &outputPath)
{
    StagedOutput(data, outputPath).commit();
}

StagedOutput::StagedOutput(const QByteArray &data, const QString &outputPath)
    : StagedOutput(outputPath, [&](int fd) { platform::writeAll(fd, data, outputPath); })
{
}

StagedOutput::StagedOutput(const QString &outputPath, const std::function<void(int fd)> &write)
    : output_(outputPath)
{
    lastFreeImageMessage().clear();
    // The output is written under a temporary name beside it and then renamed into place: a
    // failed save leaves no half-written file, and a link standing at the output's name is
    // replaced rather than written through to whatever it points at.
    const QFileInfo outInfo(outputPath);
    QTemporaryFile staging(outInfo.absolutePath() + QLatin1Char('/') + platform::ownTemporaryPrefix() +
                           QStringLiteral("XXXXXX"));
    if (!staging.open()) {
        lastFreeImageMessage() = staging.errorString();
        conversionFailed(platform::ErrorKind::CannotWrite, outputPath);
    }
    try {
        write(staging.handle());
    } catch (...) {
        staging.close();
        throw;
    }
    staging.close();
    staging.setAutoRemove(false);
    staged_ = staging.fileName();
}

StagedOutput::StagedOutput(StagedOutput &&other) noexcept
    : staged_(std::exchange(other.staged_, QString())), output_(std::move(other.output_))
{
}

StagedOutput &StagedOutput::operator=(StagedOutput &&other) noexcept
{
    if (this != &other) {
        discard();
        staged_ = std::exchange(other.staged_, QString());
        output_ = std::move(other.output_);
    }
    return *this;
}

StagedOutput::~StagedOutput() { discard(); }

void StagedOutput::discard() noexcept
{
    if (!staged_.isEmpty())
        ::unlink(QFile::encodeName(staged_).constData());
    staged_.clear();
}

void StagedOutput::commit()
{
    if (staged_.isEmpty())
        return;
    const QByteArray tmp = QFile::encodeName(staged_);
    // Temporary files are private; the output gets the permissions a new file would get.
    ::chmod(tmp.constData(), mode_t(platform::newFileMode()));
    const QByteArray out = QFile::encodeName(output_);
    if (::rename(tmp.constData(), out.constData()) != 0) {
        lastFreeImageMessage() = QString::fromLocal8Bit(std::strerror(errno));
        conversionFailed(platform::ErrorKind::CannotWrite, output_);
    }
    staged_.clear();
}

IntermediateFile::IntermediateFile(const QString &folder, const QString &stem, const QString &suffix)
{
    if (!QFileInfo(folder).isDir())
        throw platform::AppError(platform::ErrorKind::PathNotFound, {folder}, {},
                                 QStringLiteral("SavePicture"));
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
        if (f.error() == QFileDevice::PermissionsError)
            throw platform::AppError(platform::ErrorKind::PermissionDenied, {candidate}, {},
                                     QStringLiteral("SavePicture"));
        throw platform::AppError(platform::ErrorKind::CannotWrite, {candidate}, f.errorString(),
                                 QStringLiteral("SavePicture"));
    }
    throw platform::AppError(platform::ErrorKind::NoFreeName, {stem + suffix, folder}, {},
                             QStringLiteral("SavePicture"));
}

IntermediateFile::~IntermediateFile()
{
    if (owned_ && ::unlink(QFile::encodeName(path_).constData()) != 0)
        qCWarning(lcBatch) << "could not remove the intermediate file" << path_;
}

void IntermediateFile::write(QSize size, const platform::PictureBand &band)
{
    platform::savePicture(size, band, path_);
}

void IntermediateFile::remove()
{
    platform::deleteFile(path_);
    owned_ = false;
}

} // namespace tools
