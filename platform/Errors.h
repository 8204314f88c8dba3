#pragma once
#include <QString>
#include <exception>

namespace platform {

// An error raised by an operation: number, source and an English description.
// The windows show the description; number and source identify the origin.
class AppError : public std::exception {
public:
    AppError(qint64 number, QString source, QString description)
        : number_(number), source_(std::move(source)), description_(std::move(description)),
          what_(description_.toUtf8()) {}
    qint64 number() const { return number_; }
    const QString &source() const { return source_; }
    const QString &description() const { return description_; }
    const char *what() const noexcept override { return what_.constData(); }

private:
    qint64 number_;
    QString source_;
    QString description_;
    QByteArray what_;
};

// Error numbers of the platform layer (the toolkit's own run-time errors).
namespace err {
constexpr qint64 FileNotFound = 53;
constexpr qint64 PermissionDenied = 70;
constexpr qint64 PathNotFound = 76;
constexpr qint64 InvalidPicture = 481;
constexpr qint64 OutOfMemory = 7;
constexpr qint64 DeviceIO = 57;
constexpr qint64 FileAlreadyExists = 58;
// A folder, FIFO or device where a file is expected.
constexpr qint64 NotAFile = 75;
} // namespace err

} // namespace platform
