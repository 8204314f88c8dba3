#pragma once
#include <QByteArray>
#include <QString>

namespace tools::picture {

// An output written whole beside it and put in place by commit(): a failed or dropped output
// leaves no file behind, and a link standing at the output's name is replaced rather than
// written through. Whatever was not committed goes with the object. Where the folder's file
// system allows it the bytes wait in a file without a name, which the system drops even when
// the process is killed; elsewhere under a hidden temporary name (platform::ownTemporaryPrefix)
// that a later run clears.
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
    void commitUnnamed();
    int unnamed_ = -1;   // the open file without a name, -1 when none
    QString staged_;     // the named temporary; empty once committed or dropped
    QString output_;
};

// Writes `data` as `outputPath`, staged and committed at once.
void writeAtomically(const QByteArray &data, const QString &outputPath);

} // namespace tools::picture
