#pragma once
// Writing bytes to the terminal, the one platform-specific step of Output.

#include "os/expected.hpp"
#include <string_view>

#include "os/io_error.hpp"

namespace term {

// Writes all of `bytes` to the file descriptor, repeating partial and
// interrupted writes; a write that accepts nothing is an error.
expected<void, IoError> write_all(int fd, std::string_view bytes);

}  // namespace term
