// Writing the terminal's bytes on POSIX systems.

#include <cerrno>
#include <unistd.h>

#include "terminal/output.hpp"

namespace term {

expected<void, IoError> write_all(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return unexpected(IoError::from_errno(errno));
        }
        if (n == 0) return unexpected(IoError::from_errno(EIO));
        done += static_cast<std::size_t>(n);
    }
    return {};
}

}  // namespace term
