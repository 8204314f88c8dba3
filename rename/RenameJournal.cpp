#include "rename/RenameJournal.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "rename/RenamePlan.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSet>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <type_traits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace renbulk {
namespace {

const QByteArray kHeader = "pixmar rename journal 1";
// Ten thousand files with three names of 255 bytes, each byte written as "%XX", fit well below.
constexpr qint64 kMaxJournalBytes = 64LL * 1024 * 1024;
// A missing name (no temporary or rescue name) is written as this; percent-encoding turns a
// name "*" into "%2A", so the two never meet.
const QByteArray kNone = "*";

QByteArray encodeName(const QString &name) { return platform::nativePath(name).toPercentEncoding(); }

// The name a field holds, or nothing when the field is not written as encodeName writes.
std::optional<QString> decodeName(const QByteArray &field)
{
    const QByteArray bytes = QByteArray::fromPercentEncoding(field);
    if (bytes.toPercentEncoding() != field)
        return std::nullopt;
    return platform::pathFromNative(bytes);
}

// A name that stays inside the folder.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QByteArray stateWord(JournalState s)
{
    switch (s) {
    case JournalState::Renaming: return "renaming";
    case JournalState::Done: return "done";
    case JournalState::Undoing: return "undoing";
    }
    return {};
}

std::optional<JournalState> stateFromWord(const QByteArray &w)
{
    for (JournalState s : {JournalState::Renaming, JournalState::Done, JournalState::Undoing}) {
        if (stateWord(s) == w)
            return s;
    }
    return std::nullopt;
}

QByteArray checksum(QByteArrayView body)
{
    return QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex();
}

// A field written by QByteArray::number: digits only (a sign for signed ones), no blanks.
template <typename T>
std::optional<T> number(const QByteArray &field)
{
    bool ok = false;
    const T v = std::is_signed_v<T> ? T(field.toLongLong(&ok)) : T(field.toULongLong(&ok));
    if (!ok || field.isEmpty() || QByteArray::number(v) != field)
        return std::nullopt;
    return v;
}

// The lines of the body, each "key value..." checked and taken apart.
class LineReader {
public:
    explicit LineReader(const QList<QByteArray> &lines) : lines_(lines) {}
    // The fields after `key` on the next line, exactly `count` of them.
    std::optional<QList<QByteArray>> next(const QByteArray &key, qsizetype count)
    {
        if (pos_ >= lines_.size())
            return std::nullopt;
        QList<QByteArray> fields = lines_[pos_++].split(' ');
        if (fields.size() != count + 1 || fields[0] != key)
            return std::nullopt;
        fields.removeFirst();
        return fields;
    }
    bool atEnd() const { return pos_ >= lines_.size(); }

private:
    QList<QByteArray> lines_;
    qsizetype pos_ = 0;
};

std::optional<Journal> parseBody(const QByteArray &body)
{
    QList<QByteArray> lines = body.split('\n');
    if (lines.isEmpty() || !lines.last().isEmpty() || lines.first() != kHeader)
        return std::nullopt;
    lines.removeLast();
    lines.removeFirst();
    LineReader r(lines);
    Journal j;
    const auto folder = r.next("folder", 1);
    const auto inode = r.next("folder-inode", 1);
    const auto user = r.next("user", 1);
    const auto state = r.next("state", 1);
    const auto files = r.next("files", 1);
    if (!folder || !inode || !user || !state || !files)
        return std::nullopt;
    const auto folderPath = decodeName((*folder)[0]);
    const auto folderInode = number<quint64>((*inode)[0]);
    const auto userId = number<quint64>((*user)[0]);
    const auto st = stateFromWord((*state)[0]);
    const auto count = number<quint64>((*files)[0]);
    if (!folderPath || !folderPath->startsWith(QLatin1Char('/')) || !folderInode || !userId
        || *userId > 0xFFFFFFFFu || !st || !count || *count > quint64(kMaxFiles))
        return std::nullopt;
    j.folder = *folderPath;
    j.folderInode = *folderInode;
    j.user = quint32(*userId);
    j.state = *st;

    QSet<QString> olds, news, temps;
    for (quint64 k = 0; k < *count; ++k) {
        const auto f = r.next("f", 8);
        if (!f)
            return std::nullopt;
        const auto ino = number<quint64>((*f)[0]);
        const auto size = number<qint64>((*f)[1]), mtime = number<qint64>((*f)[2]), birth = number<qint64>((*f)[3]);
        const auto oldName = decodeName((*f)[4]), newName = decodeName((*f)[5]);
        std::optional<QString> temp = QString(), rescue = QString();
        if ((*f)[6] != kNone)
            temp = decodeName((*f)[6]);
        if ((*f)[7] != kNone)
            rescue = decodeName((*f)[7]);
        if (!ino || !size || !mtime || !birth || !oldName || !newName || !temp || !rescue)
            return std::nullopt;
        if (!isPlainName(*oldName) || !isPlainName(*newName)
            || (!temp->isEmpty() && (!isPlainName(*temp) || !temp->startsWith(kTempNamePrefix)))
            || (!rescue->isEmpty() && !isPlainName(*rescue)))
            return std::nullopt;
        // Two files under one name, or a temporary name that is a file's real one, cannot come
        // from a run: acting on it could put one file where another is.
        if (olds.contains(*oldName) || news.contains(*newName) || (!temp->isEmpty() && temps.contains(*temp)))
            return std::nullopt;
        olds.insert(*oldName);
        news.insert(*newName);
        if (!temp->isEmpty())
            temps.insert(*temp);
        j.files.push_back({*oldName, *temp, *rescue, *newName,
                           FileIdentity{*ino, *size, *mtime, *birth}});
    }
    for (const QString &t : std::as_const(temps)) {
        if (olds.contains(t) || news.contains(t))
            return std::nullopt;
    }
    if (!r.atEnd())
        return std::nullopt;
    return j;
}

} // namespace

std::vector<MovingFile> Journal::movingFiles() const
{
    const QString base = platform::withSeparator(folder);
    auto path = [&base](const QString &name) { return name.isEmpty() ? QString() : base + name; };
    std::vector<MovingFile> out;
    out.reserve(files.size());
    for (const JournalFile &f : files)
        out.push_back({path(f.oldName), path(f.tempName), path(f.rescueName), path(f.newName), f.id});
    return out;
}

std::vector<JournalFile> Journal::fromMoving(const std::vector<MovingFile> &files)
{
    std::vector<JournalFile> out;
    out.reserve(files.size());
    for (const MovingFile &f : files)
        out.push_back({platform::fileNamePart(f.oldPath), platform::fileNamePart(f.tempPath),
                       platform::fileNamePart(f.rescuePath), platform::fileNamePart(f.newPath), f.id});
    return out;
}

QByteArray serializeJournal(const Journal &j)
{
    // Appended piece by piece: ten thousand files make a megabyte written before every run.
    QByteArray body;
    body.reserve(qsizetype(j.files.size()) * 128 + 256);
    body.append(kHeader).append('\n');
    body.append("folder ").append(encodeName(j.folder)).append('\n');
    body.append("folder-inode ").append(QByteArray::number(j.folderInode)).append('\n');
    body.append("user ").append(QByteArray::number(j.user)).append('\n');
    body.append("state ").append(stateWord(j.state)).append('\n');
    body.append("files ").append(QByteArray::number(qulonglong(j.files.size()))).append('\n');
    auto name = [&body](const QString &n) {
        body.append(' ');
        if (n.isEmpty())
            body.append(kNone);
        else
            body.append(encodeName(n));
    };
    for (const JournalFile &f : j.files) {
        body.append("f ").append(QByteArray::number(f.id.inode)).append(' ').append(QByteArray::number(f.id.size));
        body.append(' ').append(QByteArray::number(f.id.mtimeNs)).append(' ').append(QByteArray::number(f.id.birthNs));
        name(f.oldName);
        name(f.newName);
        name(f.tempName);
        name(f.rescueName);
        body.append('\n');
    }
    const QByteArray sum = checksum(body);
    return body.append("end ").append(sum).append('\n');
}

QByteArray withState(const QByteArray &bytes, JournalState state)
{
    const qsizetype line = bytes.indexOf("\nstate ");
    const qsizetype lineEnd = bytes.indexOf('\n', line + 1);
    const qsizetype last = bytes.lastIndexOf("\nend ");
    if (line < 0 || lineEnd < 0 || last < lineEnd)
        return bytes;
    QByteArray body = bytes.left(last + 1);
    body.replace(line + 7, lineEnd - line - 7, stateWord(state));
    const QByteArray sum = checksum(body);
    return body.append("end ").append(sum).append('\n');
}

ParsedJournal parseJournal(const QByteArray &bytes)
{
    // The last line says the journal is whole and gives the checksum of all before it.
    if (!bytes.endsWith('\n'))
        return {std::nullopt, JournalFault::Truncated};
    const qsizetype lastStart = bytes.lastIndexOf('\n', bytes.size() - 2) + 1;
    const QByteArray last = bytes.mid(lastStart, bytes.size() - 1 - lastStart);
    if (!last.startsWith("end "))
        return {std::nullopt, JournalFault::Truncated};
    const QByteArrayView body(bytes.constData(), lastStart);
    if (last.mid(4) != checksum(body))
        return {std::nullopt, JournalFault::Corrupt};
    std::optional<Journal> j = parseBody(body.toByteArray());
    return {std::move(j), JournalFault::Corrupt};
}

QString journalFolder() { return platform::stateFolder() + QStringLiteral("/rename"); }

FolderJournal::FolderJournal(const QString &folder) : asked_(folder)
{
    const QString real = platform::canonicalFolder(folder);
    if (real.isEmpty())
        return;
    folder_ = platform::withSeparator(real);
    struct stat st;
    if (::stat(platform::nativePath(real).constData(), &st) == 0)
        inode_ = quint64(st.st_ino);
    // One journal per folder, named after its real path.
    const QByteArray key = QCryptographicHash::hash(platform::nativePath(real), QCryptographicHash::Sha256)
                               .toHex().left(32);
    base_ = journalFolder() + QLatin1Char('/') + QString::fromLatin1(key);
}

bool FolderJournal::hold()
{
    if (folder_.isEmpty())
        throw platform::AppError(platform::ErrorKind::PathNotFound, {asked_});
    return lock_.tryTake(base_ + QStringLiteral(".lock"));
}

Journal FolderJournal::fresh() const
{
    Journal j;
    j.folder = folder_.size() > 1 ? folder_.chopped(1) : folder_;
    j.folderInode = inode_;
    j.user = quint32(::getuid());
    return j;
}

FolderJournal::Read FolderJournal::read() const
{
    Read r;
    if (folder_.isEmpty())
        return r;
    const QString path = journalPath();
    const int fd = ::open(platform::nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT)
            return r;
        r.exists = true;
        r.fault = JournalFault::Unreadable;
        r.detail = QString::fromLocal8Bit(std::strerror(errno));
        return r;
    }
    r.exists = true;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxJournalBytes) {
        ::close(fd);
        r.fault = JournalFault::Corrupt;
        return r;
    }
    if (st.st_uid != ::getuid()) {
        ::close(fd);
        r.fault = JournalFault::OtherUser;
        return r;
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        r.fault = JournalFault::Unreadable;
        r.detail = f.errorString();
        return r;
    }
    ParsedJournal parsed = parseJournal(f.readAll());
    if (!parsed.journal) {
        r.fault = parsed.fault;
        return r;
    }
    const Journal &j = *parsed.journal;
    if (j.user != quint32(::getuid())) {
        r.fault = JournalFault::OtherUser;
        return r;
    }
    // Another folder's (copied here, or this path now names a folder made afresh).
    if (platform::withSeparator(j.folder) != folder_ || j.folderInode != inode_) {
        r.fault = JournalFault::OtherFolder;
        r.detail = j.folder;
        return r;
    }
    r.journal = std::move(parsed.journal);
    return r;
}

QByteArray FolderJournal::readBytes() const
{
    QFile f(journalPath());
    return folder_.isEmpty() || !f.open(QIODevice::ReadOnly) ? QByteArray() : f.read(kMaxJournalBytes);
}

void FolderJournal::write(const Journal &journal) const { writeBytes(serializeJournal(journal)); }

void FolderJournal::writeBytes(const QByteArray &bytes, bool flush) const
{
    if (!QDir().mkpath(journalFolder()))
        throw platform::AppError(platform::ErrorKind::CannotWrite, {journalPath()});
    platform::writeOwnFileDurably(journalPath(), bytes, flush);
}

void FolderJournal::remove() const { platform::removeOwnFileDurably(journalPath()); }

} // namespace renbulk
