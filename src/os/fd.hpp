#pragma once
// A file descriptor that is closed when its owner goes (POSIX).

#include <cerrno>
#include <unistd.h>

#include "os/expected.hpp"
#include "os/io_error.hpp"

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Closes what it holds, silently, and takes `fd` instead.
    void reset(int fd = -1)
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now, so that an error of the close can be reported (a write
    // to a network file system may only fail here).
    expected<void, IoError> close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) return unexpected(IoError::from_errno(errno));
        return {};
    }

private:
    int fd_ = -1;
};
