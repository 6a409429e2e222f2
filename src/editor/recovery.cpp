#include "editor/recovery.hpp"

#include <new>
#include <string>
#include <string_view>

#include "encoding/codec.hpp"
#include "os/file_io.hpp"
#include "text/lines.hpp"

namespace {

// How much text is encoded and written at a time.
constexpr std::size_t STRETCH = 64 * 1024;
// How many numbered names are tried in one folder before the next place.
constexpr int MAX_NUMBER = 999;

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Hands the document's text, joined as a save joins it, to `take` in
// stretches of about STRETCH bytes, each ending between two characters, so
// that the whole text is never made at once. Stops when `take` says false.
template <class Take>
bool for_each_stretch(const Buffer& buffer, Take&& take)
{
    std::string stretch;
    stretch.reserve(STRETCH);
    const auto add = [&](std::string_view text) {
        while (!text.empty()) {
            std::size_t room = STRETCH - std::min(stretch.size(), STRETCH);
            if (room >= text.size()) {
                stretch.append(text);
                return true;
            }
            // Lines are valid UTF-8: a cut before a lead byte is between characters.
            while (room > 0 && is_continuation(text[room])) --room;
            stretch.append(text.substr(0, room));
            text.remove_prefix(room);
            if (!stretch.empty() && !take(std::string_view(stretch))) return false;
            stretch.clear();
        }
        return true;
    };
    const std::string_view between = separator(buffer.line_ending);
    for (std::uint64_t row = 0; row < buffer.line_count(); ++row) {
        if (row > 0 && !add(between)) return false;
        if (!add(buffer.line(row))) return false;
    }
    return stretch.empty() || take(std::string_view(stretch));
}

bool is_utf8(TextEncoding encoding) { return encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom; }

// Whether every character of the text has bytes in the encoding.
bool can_hold(const Buffer& buffer, TextEncoding encoding)
{
    if (info_of(encoding).code_page == nullptr) return true;
    return for_each_stretch(buffer, [&](std::string_view text) { return encode_text(text, encoding).has_value(); });
}

expected<void, IoError> write_text(NewFile& file, const Buffer& buffer, TextEncoding encoding)
{
    // The encoding's mark is what it makes of no text at all; it goes first,
    // and is cut from every stretch after.
    const std::string mark = encode_text("", encoding).value_or("");
    if (auto written = file.write(mark); !written) return written;
    expected<void, IoError> result;
    for_each_stretch(buffer, [&](std::string_view text) {
        if (is_utf8(encoding)) {
            result = file.write(text);
        } else {
            const std::string bytes = encode_text(text, encoding).value_or("");
            result = file.write(std::string_view(bytes).substr(mark.size()));
        }
        return result.has_value();
    });
    if (!result) return result;
    return file.finish();
}

std::filesystem::path numbered(const std::filesystem::path& name, int number)
{
    if (number == 0) return name;
    std::filesystem::path numbered_name = name;
    numbered_name += ".";
    numbered_name += std::to_string(number);
    return numbered_name;
}

enum class Outcome { Written, FolderFailed };

// Tries the name and its numbered forms in one folder.
Outcome write_in_folder(const std::filesystem::path& name, const Buffer& buffer, TextEncoding encoding,
                        std::filesystem::path& written)
{
    for (int number = 0; number <= MAX_NUMBER; ++number) {
        const std::filesystem::path candidate = numbered(name, number);
        auto created = NewFile::create(candidate);
        if (!created) return Outcome::FolderFailed;
        if (!*created) continue;  // taken: the next number
        if (!write_text(**created, buffer, encoding)) {
            // A file cut short (a full disk) would look like the whole text.
            std::error_code ignored;
            std::filesystem::remove(candidate, ignored);
            return Outcome::FolderFailed;
        }
        written = candidate;
        return Outcome::Written;
    }
    return Outcome::FolderFailed;
}

}  // namespace

std::optional<std::filesystem::path> write_recovery_file(const Buffer& buffer)
{
    try {
        std::filesystem::path name = buffer.path ? *buffer.path : std::filesystem::path("zep-save.txt");
        if (buffer.path) name += ".zep-save";
        const TextEncoding encoding = can_hold(buffer, buffer.encoding) ? buffer.encoding : TextEncoding::Utf8;
        std::filesystem::path written;
        if (write_in_folder(name, buffer, encoding, written) == Outcome::Written) return written;
        if (const auto home = home_directory()) {
            if (write_in_folder(*home / name.filename(), buffer, encoding, written) == Outcome::Written) return written;
        }
    } catch (const std::bad_alloc&) {
        // Even the little this needs was not there: nothing could be kept.
    }
    return std::nullopt;
}
