#pragma once
// Commands queued on a buffered output and written in one go by flush().
// The terminal owns one bound to its file descriptor; tests make one that
// only collects the bytes.

#include <cstdint>
#include <string>
#include <string_view>

#include "os/expected.hpp"
#include "os/io_error.hpp"

namespace term {

struct Color {
    enum class Kind : std::uint8_t { Reset, White, Rgb };
    Kind kind = Kind::Reset;
    std::uint8_t r = 0, g = 0, b = 0;

    static constexpr Color reset() { return {}; }
    static constexpr Color white() { return {Kind::White, 0, 0, 0}; }
    static constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {Kind::Rgb, r, g, b}; }
    friend bool operator==(const Color&, const Color&) = default;
};

// Writes all of `bytes` to the file descriptor, repeating partial and
// interrupted writes; a write that accepts nothing is an error. One side per
// platform (output_posix.cpp, output_windows.cpp).
expected<void, IoError> write_all(int fd, std::string_view bytes);

class Output {
public:
    // fd < 0: flush() moves the bytes to written() instead of a file.
    explicit Output(int fd = -1) : fd_(fd) {}

    void enter_alternate_screen();
    void leave_alternate_screen();
    void enable_mouse_capture();
    void disable_mouse_capture();
    void push_keyboard_enhancement();
    void pop_keyboard_enhancement();
    void enable_bracketed_paste();
    void disable_bracketed_paste();
    void begin_synchronized_update();
    void end_synchronized_update();
    void move_to(std::uint16_t column, std::uint16_t row);
    void clear_current_line();
    void set_foreground(Color c);
    void set_background(Color c);
    void reset_color();
    void show_cursor();
    // Text goes out as it is; callers make control characters visible first.
    void print(std::string_view text);
    // Anything else (an OSC 52 clipboard write, say).
    void raw(std::string_view bytes);

    // Writes everything queued, repeating partial and interrupted writes.
    expected<void, IoError> flush();

    std::string_view pending() const { return pending_; }
    // The queue itself, for a writer that builds a large frame in place
    // rather than in a copy of its own.
    std::string& queue() { return pending_; }
    // Bytes flushed so far by an output without a file descriptor.
    const std::string& written() const { return written_; }
    void clear_written() { written_.clear(); }

private:
    int fd_;
    std::string pending_;
    std::string written_;
};

}  // namespace term
