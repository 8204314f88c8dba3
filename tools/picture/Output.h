#pragma once
#include <QByteArray>
#include <QString>

namespace tools::picture {

// An output written whole under a hidden temporary name beside it (platform::
// ownTemporaryPrefix) and put in place by commit(): a failed or dropped output leaves no file
// behind, and a link standing at the output's name is replaced rather than written through.
// Whatever was not committed goes with the object.
class StagedOutput {
public:
    StagedOutput() = default;
    // Writes `data` under the temporary name; throws platform::AppError about `outputPath`.
    StagedOutput(const QByteArray &data, const QString &outputPath);
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

// Writes `data` as `outputPath`, staged and committed at once.
void writeAtomically(const QByteArray &data, const QString &outputPath);

} // namespace tools::picture
