// Decodes arbitrary bytes in every encoding and writes the text back.
// Decoding must always give valid UTF-8, the same whether the bytes are
// copied or taken over; writing it back and reading it
// again must give the same text, unless the written bytes begin with a
// byte-order mark that reading then takes for the file's own.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "encoding/codec.hpp"
#include "text/utf8.hpp"

namespace {

bool starts_with_mark(std::string_view bytes)
{
    return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

void check(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const EncodingInfo& info : ENCODINGS) {
        const TextEncoding encoding = info.encoding;
        const std::string text = decode_text(bytes, encoding);
        check(utf8::is_valid(text));
        check(decode_text_in_place(std::string(bytes), encoding) == text);

        const auto written = encode_text(text, encoding);
        // The code pages are complete: whatever they decoded, they can write.
        if (info.code_page != nullptr && !starts_with_mark(bytes)) check(written && *written == bytes);
        if (!written) continue;

        std::string_view body = *written;
        if (encoding == TextEncoding::Utf8Bom) body.remove_prefix(3);
        const bool utf16 = encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
        if (utf16 || !starts_with_mark(body)) check(decode_text(*written, encoding) == text);
    }
    return 0;
}
