#include "terminal/output.hpp"


namespace term {

namespace {

// Decimal digits written into a small buffer: every frame writes hundreds of
// coordinates and colour components, and each sequence is then appended to
// the output in one piece.
char* put_number(char* at, unsigned value)
{
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0) *at++ = digits[--n];
    return at;
}

char* put_text(char* at, std::string_view text)
{
    for (char c : text) *at++ = c;
    return at;
}

}  // namespace

void Output::enter_alternate_screen() { pending_ += "\x1b[?1049h"; }
void Output::leave_alternate_screen() { pending_ += "\x1b[?1049l"; }

// Button presses, drags, all motion, and the two extended coordinate
// encodings (urxvt and SGR), so that wide screens report correct cells.
void Output::enable_mouse_capture() { pending_ += "\x1b[?1000h\x1b[?1002h\x1b[?1003h\x1b[?1015h\x1b[?1006h"; }
void Output::disable_mouse_capture() { pending_ += "\x1b[?1006l\x1b[?1015l\x1b[?1003l\x1b[?1002l\x1b[?1000l"; }

// Kitty keyboard protocol, "disambiguate" only: Ctrl+Backspace, Ctrl+H and
// Esc become distinct; event types stay off so that auto-repeat keeps working.
void Output::push_keyboard_enhancement() { pending_ += "\x1b[>1u"; }
void Output::pop_keyboard_enhancement() { pending_ += "\x1b[<u"; }

// A paste arrives as one event between CSI 200 ~ and CSI 201 ~, rather than
// as typed keys: its tabs and line breaks stay what they are.
void Output::enable_bracketed_paste() { pending_ += "\x1b[?2004h"; }
void Output::disable_bracketed_paste() { pending_ += "\x1b[?2004l"; }

void Output::begin_synchronized_update() { pending_ += "\x1b[?2026h"; }
void Output::end_synchronized_update() { pending_ += "\x1b[?2026l"; }

void Output::move_to(std::uint16_t column, std::uint16_t row)
{
    char sequence[16];
    char* at = put_text(sequence, "\x1b[");
    at = put_number(at, row + 1u);
    *at++ = ';';
    at = put_number(at, column + 1u);
    *at++ = 'H';
    pending_.append(sequence, static_cast<std::size_t>(at - sequence));
}

void Output::clear_current_line() { pending_ += "\x1b[2K"; }

namespace {

void append_color(std::string& out, Color c, bool foreground)
{
    switch (c.kind) {
    case Color::Kind::Reset: out += foreground ? "\x1b[39m" : "\x1b[49m"; break;
    case Color::Kind::White: out += foreground ? "\x1b[38;5;15m" : "\x1b[48;5;15m"; break;
    case Color::Kind::Rgb: {
        char sequence[24];
        char* at = put_text(sequence, foreground ? "\x1b[38;2;" : "\x1b[48;2;");
        at = put_number(at, c.r);
        *at++ = ';';
        at = put_number(at, c.g);
        *at++ = ';';
        at = put_number(at, c.b);
        *at++ = 'm';
        out.append(sequence, static_cast<std::size_t>(at - sequence));
        break;
    }
    }
}

}  // namespace

void Output::set_foreground(Color c) { append_color(pending_, c, true); }
void Output::set_background(Color c) { append_color(pending_, c, false); }
void Output::reset_color() { pending_ += "\x1b[0m"; }
void Output::show_cursor() { pending_ += "\x1b[?25h"; }
void Output::print(std::string_view text) { pending_ += text; }
void Output::raw(std::string_view bytes) { pending_ += bytes; }

expected<void, IoError> Output::flush()
{
    if (fd_ < 0) {
        written_ += pending_;
        pending_.clear();
        return {};
    }
    // Whatever happens, the queue is spent: a failed frame is not retried.
    auto written = write_all(fd_, pending_);
    pending_.clear();
    return written;
}

}  // namespace term
