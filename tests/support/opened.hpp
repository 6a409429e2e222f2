#pragma once
// A session on a document opened from a file as start-up opens it (a path
// that names nothing is a new document), for the tests of saving, reloading
// and the encoding menu.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string_view>

#include "editor/document.hpp"
#include "support/files.hpp"
#include "support/session.hpp"

namespace test_support {

struct Opened : Session {
    // Untitled when there is no path.
    explicit Opened(const std::optional<std::filesystem::path>& path)
    {
        auto buffer = open_document(path);
        EXPECT_TRUE(buffer.has_value()) << (buffer ? "" : buffer.error().message);
        if (buffer) ed.buffer = std::move(*buffer);
    }
    // The file written with `bytes` first.
    Opened(const std::filesystem::path& path, std::string_view bytes) : Opened((write_bytes(path, bytes), path)) {}

    // Ctrl+E and a digit: the encoding menu's choice.
    void choose(char32_t digit)
    {
        ctrl(U'e');
        ch(digit);
    }
};

}  // namespace test_support
