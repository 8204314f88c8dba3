#pragma once
#include "platform/GdiPlus.h"
#include <QHash>
#include <QObject>
#include <QString>
#include <optional>
#include <vector>

// Brackets the animated GIF builder's use of the imaging library: creating an object starts
// the library and builds the table of its encoders by file-name pattern; destroying it shuts
// the library down. It owns the texts of the library's status codes and the Error signal
// through which the imaging classes report failed calls.
class cGDIP : public QObject {
    Q_OBJECT
public:
    using GpStatus = platform::gdiplus::GpStatus;
    using CLSID = platform::gdiplus::CLSID;
    using GUID = platform::gdiplus::GUID;

    // Starts the library. A failed start is silent (every lookup then gives -1); a failure
    // while listing the encoders throws platform::AppError (ErrorKind::ImagingFailed) with the
    // status as its number and the status text as its reason.
    explicit cGDIP(QObject *parent = nullptr);
    ~cGDIP() override;
    cGDIP(const cGDIP &) = delete;
    cGDIP &operator=(const cGDIP &) = delete;

    bool started() const { return token_ != 0; }

    // Encoder index for a pattern such as "*.gif" (case does not matter), or -1.
    qint32 ExtensionExists(const QString &sKey) const;
    // Reports a failed call of `sClassName` through the Error signal.
    void error(GpStatus lGdiError, const QString &sClassName);

    // Class id of the encoder at an index that ExtensionExists gave.
    CLSID EncoderClsid(qint32 index) const;
    // A GUID from its text in braces; the zero GUID when the text is not one.
    static GUID GuidFromString(const QString &sGuid);

    // English text of a status code (the same in both interface languages).
    static QString StatusText(GpStatus status);

signals:
    void Error(qint32 lGdiError, const QString &sErrorDesc, const QString &sClassName);

private:
    friend struct cGDIPTestAccess;

    static QString PtrToString(const platform::gdiplus::WCHAR *text);
    void AddPatterns(const QString &sList, const QString &sSep, qint32 lIndex);
    void BuildEncoderTable();

    platform::gdiplus::ULONG_PTR token_ = 0;
    qint32 encoderCount_ = 0;
    std::vector<CLSID> clsids_;
    // Keys are the patterns case-folded; absent when the library did not start.
    std::optional<QHash<QString, qint32>> patterns_;
};
