// Lets GTKTerm 1.2.1 keep a pseudo-terminal open, so that it can be measured against the
// same simulated device as our window. Loaded into GTKTerm only (LD_PRELOAD); bench/run
// does that. GTKTerm closes its port at once when either
// - udev knows no device for the port's path (a pty slave has no sysfs entry): here the
//   lookup of a pty slave answers with the pty multiplexer's device instead; or
// - reading the modem lines fails with anything but EINVAL (a pty answers ENOTTY): here
//   that failure is reported as EINVAL, which GTKTerm takes for a port without those
//   lines.
// Nothing else about the program changes: every other call goes straight through.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdarg>

namespace {

// Unix98 pty slaves (/dev/pts/N) have majors 136 to 143.
bool IsPtySlave(const char* path) {
    struct stat info {};
    return path != nullptr && stat(path, &info) == 0 && S_ISCHR(info.st_mode) &&
           major(info.st_rdev) >= 136 && major(info.st_rdev) <= 143;
}

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

void* g_udev_client_query_by_device_file(void* client, const char* path) {
    using Query = void* (*)(void*, const char*);
    static const auto query = Next<Query>("g_udev_client_query_by_device_file");
    void* device = query(client, path);
    if (device == nullptr && IsPtySlave(path)) {
        device = query(client, "/dev/ptmx");
    }
    return device;
}

int ioctl(int fd, unsigned long request, ...) noexcept {
    using Ioctl = int (*)(int, unsigned long, void*);
    static const auto next = Next<Ioctl>("ioctl");
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    const int result = next(fd, request, argument);
    const bool modemLines =
        request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (result == -1 && errno == ENOTTY && modemLines) {
        errno = EINVAL;
    }
    return result;
}

}  // extern "C"
