#include "animgif/cGDIP.h"
#include "platform/Errors.h"

#include <cstring>

namespace gp = platform::gdiplus;

namespace {

// A failure while the object is made: the library's status is its number and its text the
// reason.
[[noreturn]] void startFailed(cGDIP::GpStatus s)
{
    throw platform::AppError(platform::ErrorKind::ImagingFailed, {}, cGDIP::StatusText(s),
                             QStringLiteral("cGDIP"))
        .withNumber(s);
}

} // namespace

cGDIP::cGDIP(QObject *parent) : QObject(parent)
{
    const gp::GdiplusStartupInput input;   // version 1, no callback, thread and codecs not suppressed
    gp::ULONG_PTR token = 0;
    if (gp::GdiplusStartup(&token, &input, nullptr) != gp::Ok)
        return;
    token_ = token;
    try {
        BuildEncoderTable();
    } catch (...) {
        gp::GdiplusShutdown(token_);
        token_ = 0;
        throw;
    }
}

cGDIP::~cGDIP()
{
    if (token_ != 0)
        gp::GdiplusShutdown(token_);
}

void cGDIP::BuildEncoderTable()
{
    std::uint32_t count = 0, bytes = 0;
    GpStatus s = gp::GdipGetImageEncodersSize(&count, &bytes);
    if (s != gp::Ok)
        startFailed(s);
    // The list is the records followed by the texts they point into, so it stays in one
    // buffer (of the records' alignment) while the records are read.
    std::vector<gp::ImageCodecInfo> buffer(
        (bytes + sizeof(gp::ImageCodecInfo) - 1) / sizeof(gp::ImageCodecInfo));
    s = gp::GdipGetImageEncoders(count, bytes, buffer.data());
    if (s != gp::Ok)
        startFailed(s);

    encoderCount_ = qint32(count);
    clsids_.assign(count, CLSID{});
    patterns_.emplace();
    for (qint32 i = encoderCount_ - 1; i >= 0; --i) {
        clsids_[size_t(i)] = buffer[size_t(i)].Clsid;
        AddPatterns(PtrToString(buffer[size_t(i)].FilenameExtension), QStringLiteral(";"), i);
    }
}

QString cGDIP::PtrToString(const gp::WCHAR *text)
{
    return text ? QString::fromUtf16(text) : QString();
}

void cGDIP::AddPatterns(const QString &sList, const QString &sSep, qint32 lIndex)
{
    if (!patterns_)
        return;
    // A pattern listed twice keeps the encoder it was first stored with.
    auto add = [this, lIndex](const QString &key) {
        const QString folded = key.toCaseFolded();
        if (!patterns_->contains(folded))
            patterns_->insert(folded, lIndex);
    };
    qsizetype start = 0;
    for (qsizetype sep = sList.indexOf(sSep, start); sep >= 0 && !sSep.isEmpty();
         sep = sList.indexOf(sSep, start)) {
        add(sList.mid(start, sep - start));
        start = sep + sSep.size();
    }
    const QString last = sList.mid(start).trimmed();
    if (!last.isEmpty())
        add(last);
}

qint32 cGDIP::ExtensionExists(const QString &sKey) const
{
    if (!patterns_)
        return -1;
    return patterns_->value(sKey.toCaseFolded(), -1);
}

void cGDIP::error(GpStatus lGdiError, const QString &sClassName)
{
    emit Error(lGdiError, StatusText(lGdiError), sClassName);
}

cGDIP::CLSID cGDIP::EncoderClsid(qint32 index) const
{
    Q_ASSERT(index >= 0 && size_t(index) < clsids_.size());
    return clsids_.at(size_t(index));
}

cGDIP::GUID cGDIP::GuidFromString(const QString &sGuid)
{
    GUID g{};
    if (gp::IIDFromString(gp::widePath(sGuid), &g) != 0)
        return GUID{};
    return g;
}

QString cGDIP::StatusText(GpStatus status)
{
    switch (status) {
    case 1: return QStringLiteral("Generic Error");
    case 2: return QStringLiteral("Invalid Parameter");
    case 3: return QStringLiteral("Out Of Memory");
    case 4: return QStringLiteral("Object Busy");
    case 5: return QStringLiteral("Insufficient Buffer");
    case 6: return QStringLiteral("Not Implemented");
    case 7: return QStringLiteral("Win32 Error");
    case 8: return QStringLiteral("Wrong State");
    case 9: return QStringLiteral("Aborted");
    case 10: return QStringLiteral("File Not Found");
    case 11: return QStringLiteral("Value Overflow");
    case 12: return QStringLiteral("Access Denied");
    case 13: return QStringLiteral("Unknown Image Format");
    case 14: return QStringLiteral("FontFamily Not Found");
    case 15: return QStringLiteral("FontStyle Not Found");
    case 16: return QStringLiteral("Not TrueType Font");
    case 17: return QStringLiteral("Unsupported Gdiplus Version");
    case 18: return QStringLiteral("Gdiplus Not Initialized");
    case 19: return QStringLiteral("Property Not Found");
    case 20: return QStringLiteral("Property Not Supported");
    default: return QStringLiteral("Unknown GDI+ Error");
    }
}
