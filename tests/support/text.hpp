#pragma once
// The document's text and bytes as a save makes them, for tests that check
// files: the lines joined, then encoded, or the refusal the user would read.

#include <cstdint>
#include <string>
#include <string_view>

#include "buffer.hpp"
#include "editor/messages.hpp"
#include "encoding/codec.hpp"
#include "text/lines.hpp"

namespace test_support {

inline std::string join_lines(const Buffer& buffer, LineEnding ending)
{
    return ::join_lines(
        buffer.line_count(), [&](std::uint64_t row) { return buffer.line(row); }, ending);
}

inline expected<std::string, std::string> encode_document(std::string_view text, TextEncoding encoding)
{
    auto bytes = encode_text(text, encoding);
    if (!bytes) return unexpected(msg::unmappable(bytes.error()));
    return std::move(*bytes);
}

}  // namespace test_support
