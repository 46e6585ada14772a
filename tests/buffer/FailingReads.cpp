#include "tests/buffer/FailingReads.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dlfcn.h>
#include <unistd.h>

namespace {

/// How much of count a read at offset may take; -1 (errno EIO) once it reaches the bad byte.
long allowed(int fd, long offset, std::size_t count)
{
    char link[64];
    char path[4096] = {};
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    if (offset < 0 || ::readlink(link, path, sizeof path - 1) <= 0
        || !std::strstr(path, kestrum::test::FailingReadMarker))
        return static_cast<long>(count);
    if (offset >= kestrum::test::FailingReadOffset) {
        errno = EIO;
        return -1;
    }
    return std::min(static_cast<long>(count), kestrum::test::FailingReadOffset - offset);
}

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

using PositionedRead = ssize_t (*)(int, void*, std::size_t, off_t);

ssize_t positionedRead(const char* name, int fd, void* to, std::size_t count, off_t offset)
{
    const long take = allowed(fd, static_cast<long>(offset), count);
    return take < 0 ? -1 : next<PositionedRead>(name)(fd, to, static_cast<std::size_t>(take), offset);
}

} // namespace

extern "C" {

ssize_t read(int fd, void* to, std::size_t count)
{
    static const auto real = next<ssize_t (*)(int, void*, std::size_t)>("read");
    const long take = allowed(fd, static_cast<long>(::lseek(fd, 0, SEEK_CUR)), count);
    return take < 0 ? -1 : real(fd, to, static_cast<std::size_t>(take));
}

ssize_t pread(int fd, void* to, std::size_t count, off_t offset)
{
    return positionedRead("pread", fd, to, count, offset);
}

ssize_t pread64(int fd, void* to, std::size_t count, off_t offset)
{
    return positionedRead("pread64", fd, to, count, offset);
}
}
