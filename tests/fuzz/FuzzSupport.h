#pragma once
#include <QByteArray>
#include <QString>

#include <cstddef>

// What both fuzz targets share. FuzzSupport.cpp also starts the toolkit as the program does
// (libFuzzer's initialisation hook), before the first input.
namespace fuzzsupport {

// A promise the code under test broke: said on standard error, then the process aborts, so
// that libFuzzer keeps the input.
[[noreturn]] void fail(const char *what);
inline void check(bool promise, const char *what)
{
    if (!promise)
        fail(what);
}

// A file in memory that the code under test opens by name, so that millions of inputs never
// touch the disk.
class MemoryFile {
public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    QString path() const;
    void set(const unsigned char *data, size_t size);

private:
    int fd_;
};

} // namespace fuzzsupport
