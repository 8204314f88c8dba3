#include "FuzzSupport.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "pixmar-fuzz";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: the process ends when libFuzzer is done with it.
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    Q_UNUSED(app);
    return 0;
}

namespace fuzzsupport {

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

MemoryFile::MemoryFile() : fd_(::memfd_create("pixmar-fuzz", MFD_CLOEXEC))
{
    if (fd_ < 0)
        fail("memfd_create");
}

MemoryFile::~MemoryFile()
{
    ::close(fd_);
}

QString MemoryFile::path() const
{
    return QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

void MemoryFile::set(const unsigned char *data, size_t size)
{
    if (::ftruncate(fd_, 0) != 0 || (size && ::pwrite(fd_, data, size, 0) != ssize_t(size)))
        fail("writing the memory file");
}

} // namespace fuzzsupport
