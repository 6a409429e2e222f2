// Writing the terminal's bytes on Windows: to the handle behind the C
// runtime's descriptor.

#include <windows.h>

#include <io.h>

#include <algorithm>

#include "terminal/output.hpp"

namespace term {

expected<void, IoError> write_all(int fd, std::string_view bytes)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) return unexpected(IoError::from_windows(ERROR_INVALID_HANDLE));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD n = 0;
        if (!::WriteFile(handle, bytes.data() + done, piece, &n, nullptr))
            return unexpected(IoError::last_windows_error());
        if (n == 0) return unexpected(IoError::from_windows(ERROR_WRITE_FAULT));
        done += n;
    }
    return {};
}

}  // namespace term
