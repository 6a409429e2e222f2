#include "terminal/input_decoder.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "text/char_class.hpp"
#include "text/utf8.hpp"

namespace term {

namespace {

constexpr char ESC = '\x1b';
constexpr std::string_view PASTE_START = "\x1b[200~";
constexpr std::string_view PASTE_END = "\x1b[201~";

// A sequence still unfinished after this many bytes is garbage, not a key:
// dropping it keeps a stream of noise from growing the pending bytes forever.
constexpr std::size_t MAX_SEQUENCE = 64;

// Returned instead of a length by a sequence that passed MAX_SEQUENCE: the
// decoder then skips the rest of it, however long, through its final byte.
constexpr std::size_t TOO_LONG = static_cast<std::size_t>(-1);

// Numbers in parameters stop growing here, far above any meaningful value.
constexpr unsigned PARAM_CAP = 99'999'999;

// Each decode_* function looks at the start of `s`, appends what it finds
// to `out` and returns the bytes it used up. 0 means that `s` ends inside
// the sequence; bytes used up with nothing appended were dropped.

void push_key(std::vector<Event>& out, KeyCode code, KeyModifiers modifiers = NONE,
              KeyEventKind kind = KeyEventKind::Press)
{
    out.emplace_back(KeyEvent{code, modifiers, kind});
}

KeyCode key(Key k) { return KeyCode{k, 0, 0}; }

// xterm sends 1 + a bit set: 1 Shift, 2 Alt, 4 Ctrl, 8 Super, 16 Hyper,
// 32 Meta (kitty adds Caps Lock and Num Lock above those, ignored here).
KeyModifiers modifiers_from_param(unsigned param)
{
    if (param <= 1) return NONE;
    const unsigned bits = param - 1;
    KeyModifiers m = NONE;
    if (bits & 1) m |= SHIFT;
    if (bits & 2) m |= ALT;
    if (bits & 4) m |= CONTROL;
    if (bits & 8) m |= SUPER;
    if (bits & 16) m |= HYPER;
    if (bits & 32) m |= META;
    return m;
}

// The kitty protocol's event type: 1 press (also when absent), 2 repeat, 3 release.
KeyEventKind kind_from_param(unsigned param)
{
    if (param == 2) return KeyEventKind::Repeat;
    if (param == 3) return KeyEventKind::Release;
    return KeyEventKind::Press;
}

// One key typed without an escape sequence: a control byte, ASCII or a
// UTF-8 character. A byte that cannot start a character is dropped.
std::size_t decode_plain(std::string_view s, std::vector<Event>& out)
{
    const auto b = static_cast<unsigned char>(s[0]);
    switch (b) {
    case 0x00: push_key(out, KeyCode::character(' '), CONTROL); return 1;
    case 0x08: push_key(out, KeyCode::character('h'), CONTROL); return 1;
    case 0x09: push_key(out, key(Key::Tab)); return 1;
    // Terminals send CR for Enter; LF is Ctrl+J.
    case 0x0A: push_key(out, KeyCode::character('j'), CONTROL); return 1;
    case 0x0D: push_key(out, key(Key::Enter)); return 1;
    case 0x1B: push_key(out, key(Key::Esc)); return 1;
    case 0x7F: push_key(out, key(Key::Backspace)); return 1;
    default: break;
    }
    if (b < 0x1B) {
        push_key(out, KeyCode::character(U'a' + b - 1), CONTROL);
        return 1;
    }
    if (b < 0x20) {
        // Ctrl+4 to Ctrl+7 give 0x1C to 0x1F, as in xterm.
        push_key(out, KeyCode::character(U'4' + b - 0x1C), CONTROL);
        return 1;
    }
    const utf8::Decoded d = utf8::decode(s);
    if (d.status == utf8::Decoded::Status::Truncated) return 0;
    // Bytes that form no character are dropped, a maximal subpart at a time.
    if (d.status == utf8::Decoded::Status::Malformed) return d.length;
    const char32_t c = d.c;
    const std::size_t length = d.length;
    // C1 controls are not keys; a terminal sends them only by mistake.
    if (c >= 0x80 && c <= 0x9F) return static_cast<std::size_t>(length);
    // A typed capital comes with Shift, as the key tables expect of it.
    push_key(out, KeyCode::character(c), is_uppercase(c) ? SHIFT : NONE);
    return static_cast<std::size_t>(length);
}

// A key number of the kitty protocol or of modifyOtherKeys: a Unicode
// character, a few C0 keys, or one of kitty's private-use functional codes.
std::optional<KeyCode> key_from_code(unsigned code)
{
    switch (code) {
    case 8:
    case 127: return key(Key::Backspace);
    case 9: return key(Key::Tab);
    case 13: return key(Key::Enter);
    case 27: return key(Key::Esc);
    default: break;
    }
    if (code >= 57344) {  // kitty's functional keys live in the private use area
        static constexpr std::array<Key, 6> LOCKS = {Key::CapsLock,    Key::ScrollLock, Key::NumLock,
                                                     Key::PrintScreen, Key::Pause,      Key::Menu};
        static constexpr std::array<char32_t, 8> KEYPAD_SIGNS = {'.', '/', '*', '-', '+', 0, '=', ','};
        static constexpr std::array<Key, 11> KEYPAD_MOVES = {Key::Left,   Key::Right,    Key::Up,         Key::Down,
                                                             Key::PageUp, Key::PageDown, Key::Home,       Key::End,
                                                             Key::Insert, Key::Delete,   Key::KeypadBegin};
        if (code >= 57358 && code <= 57363) return key(LOCKS[code - 57358]);
        if (code >= 57376 && code <= 57398) return KeyCode::function(static_cast<std::uint8_t>(code - 57376 + 13));
        if (code >= 57399 && code <= 57408) return KeyCode::character(U'0' + (code - 57399));
        if (code == 57414) return key(Key::Enter);
        if (code >= 57409 && code <= 57416) return KeyCode::character(KEYPAD_SIGNS[code - 57409]);
        if (code >= 57417 && code <= 57427) return key(KEYPAD_MOVES[code - 57417]);
        if (code >= 57428 && code <= 57440) return key(Key::Media);
        if (code >= 57441 && code <= 57452) return key(Key::Modifier);
        if (code <= 57454) return std::nullopt;  // the rest of kitty's block is unassigned
    }
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) return std::nullopt;
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return std::nullopt;
    return KeyCode::character(static_cast<char32_t>(code));
}

// The keys named by the final byte of CSI 1;m X and SS3 X.
std::optional<KeyCode> key_from_letter(char final)
{
    switch (final) {
    case 'A': return key(Key::Up);
    case 'B': return key(Key::Down);
    case 'C': return key(Key::Right);
    case 'D': return key(Key::Left);
    case 'E': return key(Key::KeypadBegin);
    case 'H': return key(Key::Home);
    case 'F': return key(Key::End);
    case 'P': return KeyCode::function(1);
    case 'Q': return KeyCode::function(2);
    case 'R': return KeyCode::function(3);
    case 'S': return KeyCode::function(4);
    default: return std::nullopt;
    }
}

// The keys of CSI n ~ (VT220 numbering, with the gaps xterm keeps).
std::optional<KeyCode> key_from_tilde(unsigned n)
{
    switch (n) {
    case 1:
    case 7: return key(Key::Home);
    case 2: return key(Key::Insert);
    case 3: return key(Key::Delete);
    case 4:
    case 8: return key(Key::End);
    case 5: return key(Key::PageUp);
    case 6: return key(Key::PageDown);
    default: break;
    }
    if (n >= 11 && n <= 15) return KeyCode::function(static_cast<std::uint8_t>(n - 10));
    if (n >= 17 && n <= 21) return KeyCode::function(static_cast<std::uint8_t>(n - 11));
    if (n >= 23 && n <= 26) return KeyCode::function(static_cast<std::uint8_t>(n - 12));
    if (n >= 28 && n <= 29) return KeyCode::function(static_cast<std::uint8_t>(n - 13));
    if (n >= 31 && n <= 34) return KeyCode::function(static_cast<std::uint8_t>(n - 14));
    return std::nullopt;
}

std::uint16_t cell_from_param(unsigned one_based)
{
    if (one_based == 0) return 0;
    return static_cast<std::uint16_t>(std::min(one_based, 65536U) - 1);
}

// A mouse report in xterm's button encoding: low two bits the button (3: none),
// 4 Shift, 8 Alt, 16 Ctrl, 32 motion, 64 wheel. Extra buttons are dropped.
void push_mouse(std::vector<Event>& out, unsigned b, unsigned x, unsigned y, bool release)
{
    MouseEvent m;
    m.column = cell_from_param(x);
    m.row = cell_from_param(y);
    if (b & 4) m.modifiers |= SHIFT;
    if (b & 8) m.modifiers |= ALT;
    if (b & 16) m.modifiers |= CONTROL;
    if (b & 128) return;
    const unsigned low = b & 3;
    if (b & 64) {
        if (release) return;
        static constexpr std::array<MouseEventKind, 4> WHEEL = {MouseEventKind::ScrollUp, MouseEventKind::ScrollDown,
                                                                MouseEventKind::ScrollLeft,
                                                                MouseEventKind::ScrollRight};
        m.kind = WHEEL[low];
    } else {
        static constexpr std::array<MouseButton, 3> BUTTONS = {MouseButton::Left, MouseButton::Middle,
                                                               MouseButton::Right};
        const bool known = low != 3;
        if (known) m.button = BUTTONS[low];
        if (b & 32) m.kind = known ? MouseEventKind::Drag : MouseEventKind::Moved;
        // The older encodings report every release as "no button".
        else if (release || !known)
            m.kind = MouseEventKind::Up;
        else
            m.kind = MouseEventKind::Down;
    }
    out.emplace_back(m);
}

// The parameters of one control sequence, each with up to three
// colon-separated parts; absent numbers are 0.
struct Csi {
    char marker = 0;  // a private marker '<', '=', '>' or '?' right after the '['
    std::vector<std::array<unsigned, 3>> params;
    char final = 0;

    unsigned at(std::size_t i, std::size_t part = 0) const { return i < params.size() ? params[i][part] : 0; }
};

// Splits the parameter bytes; false when they do not follow the grammar
// (a marker in the middle, too many parts).
bool parse_params(std::string_view bytes, Csi& csi)
{
    if (!bytes.empty() && bytes[0] >= '<' && bytes[0] <= '?') {
        csi.marker = bytes[0];
        bytes.remove_prefix(1);
    }
    csi.params.push_back({0, 0, 0});
    std::size_t part = 0;
    for (char c : bytes) {
        if (c >= '0' && c <= '9') {
            unsigned& value = csi.params.back()[part];
            value = std::min(value * 10 + static_cast<unsigned>(c - '0'), PARAM_CAP);
        } else if (c == ';') {
            csi.params.push_back({0, 0, 0});
            part = 0;
        } else if (c == ':' && part < 2) {
            ++part;
        } else {
            return false;
        }
    }
    return true;
}

void decode_csi_key(const Csi& csi, std::vector<Event>& out)
{
    const KeyModifiers modifiers = modifiers_from_param(csi.at(1));
    const KeyEventKind kind = kind_from_param(csi.at(1, 1));
    switch (csi.final) {
    case 'Z': push_key(out, key(Key::BackTab), modifiers | SHIFT, kind); return;
    case 'I':
        if (csi.params.size() == 1 && csi.at(0) == 0) out.emplace_back(FocusGained{});
        return;
    case 'O':
        if (csi.params.size() == 1 && csi.at(0) == 0) out.emplace_back(FocusLost{});
        return;
    case 'M':
        // urxvt mouse (CSI b;x;y M), for terminals without the SGR form.
        if (csi.params.size() == 3 && csi.at(0) >= 32) push_mouse(out, csi.at(0) - 32, csi.at(1), csi.at(2), false);
        return;
    case 'a':
    case 'b':
    case 'c':
    case 'd':
        // rxvt: Shift with the arrows.
        push_key(out, *key_from_letter(static_cast<char>(csi.final - 'a' + 'A')), SHIFT);
        return;
    case 'u':
        if (auto code = key_from_code(csi.at(0))) push_key(out, *code, modifiers, kind);
        return;
    case '~':
    case '$':
    case '^':
    case '@': {
        if (csi.at(0) == 27 && csi.final == '~') {
            // xterm modifyOtherKeys: CSI 27 ; modifiers ; code ~
            if (auto code = key_from_code(csi.at(2))) push_key(out, *code, modifiers);
            return;
        }
        auto code = key_from_tilde(csi.at(0));
        if (!code) return;  // bracketed paste markers (200, 201) among others
        // rxvt marks Shift, Ctrl and both by the final byte instead.
        KeyModifiers extra = NONE;
        if (csi.final == '$') extra = SHIFT;
        if (csi.final == '^') extra = CONTROL;
        if (csi.final == '@') extra = CONTROL | SHIFT;
        push_key(out, *code, modifiers | extra, kind);
        return;
    }
    default:
        if (auto code = key_from_letter(csi.final)) push_key(out, *code, modifiers, kind);
        return;
    }
}

// ESC [ ... : parameters 0x30-0x3F, intermediates 0x20-0x2F, a final byte
// 0x40-0x7E. A byte outside the grammar ends the sequence as garbage and is
// itself decoded afresh, so that text after a broken sequence survives.
std::size_t decode_csi(std::string_view s, std::vector<Event>& out)
{
    if (s.size() < 3) return 0;
    if (s[2] == 'M') {
        // X10 mouse: three raw bytes, each 32 + value. A control byte
        // among them is a key, not a mouse report.
        for (std::size_t i = 3; i < 6 && i < s.size(); ++i)
            if (static_cast<unsigned char>(s[i]) < 32) return 3;
        if (s.size() < 6) return 0;
        const auto b = static_cast<unsigned char>(s[3]);
        const auto x = static_cast<unsigned char>(s[4]);
        const auto y = static_cast<unsigned char>(s[5]);
        push_mouse(out, b - 32U, x - 32U, y - 32U, false);
        return 6;
    }
    if (s[2] == '[') {
        // The Linux console's F1 to F5: ESC [ [ A to ESC [ [ E.
        if (s.size() < 4) return 0;
        if (s[3] < 'A' || s[3] > 'E') return 3;
        push_key(out, KeyCode::function(static_cast<std::uint8_t>(s[3] - 'A' + 1)));
        return 4;
    }
    std::size_t i = 2;
    bool intermediate = false;
    for (;; ++i) {
        if (i >= MAX_SEQUENCE) return TOO_LONG;
        if (i >= s.size()) return 0;
        const char c = s[i];
        if (c >= 0x30 && c <= 0x3F && !intermediate) continue;
        // rxvt ends Shift+Insert and the like with '$'; nothing we ask for
        // uses '$' as an intermediate without a private marker.
        if (c == '$' && !(s[2] >= '<' && s[2] <= '?')) break;
        if (c >= 0x20 && c <= 0x2F) {
            intermediate = true;
            continue;
        }
        if (c >= 0x40 && c <= 0x7E) break;
        return i;
    }
    const std::size_t used = i + 1;
    Csi csi;
    csi.final = s[i];
    // Nothing a keyboard or mouse sends has intermediate bytes.
    if (intermediate || !parse_params(s.substr(2, i - 2), csi)) return used;
    if (csi.marker == '<') {
        // SGR mouse: CSI < b ; x ; y M for a press or motion, m for a release.
        if ((csi.final == 'M' || csi.final == 'm') && csi.params.size() == 3)
            push_mouse(out, csi.at(0), csi.at(1), csi.at(2), csi.final == 'm');
        return used;
    }
    if (csi.marker == 0) decode_csi_key(csi, out);
    return used;
}

// ESC O X, the keys of application cursor mode, and the F1 to F4 of most
// terminals. Some older ones put a modifier digit before the final byte.
std::size_t decode_ss3(std::string_view s, std::vector<Event>& out)
{
    std::size_t i = 2;
    unsigned modifier = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (i >= MAX_SEQUENCE) return TOO_LONG;
        modifier = std::min(modifier * 10 + static_cast<unsigned>(s[i] - '0'), PARAM_CAP);
        ++i;
    }
    if (i >= s.size()) return 0;
    const char final = s[i];
    if (final < 0x40 || final > 0x7E) return i;
    if (final == 'M') {
        push_key(out, key(Key::Enter), modifiers_from_param(modifier));  // keypad Enter
    } else if (final >= 'a' && final <= 'd') {
        // rxvt: Ctrl with the arrows.
        push_key(out, *key_from_letter(static_cast<char>(final - 'a' + 'A')), CONTROL);
    } else if (auto code = key_from_letter(final)) {
        push_key(out, *code, modifiers_from_param(modifier));
    }
    return i + 1;
}

void add_alt(std::vector<Event>& out, std::size_t from)
{
    for (std::size_t i = from; i < out.size(); ++i)
        if (auto* k = std::get_if<KeyEvent>(&out[i])) k->modifiers |= ALT;
}

std::size_t decode_escape(std::string_view s, std::vector<Event>& out)
{
    if (s.size() < 2) return 0;
    if (s[1] == '[') return decode_csi(s, out);
    if (s[1] == 'O') return decode_ss3(s, out);
    const std::size_t before = out.size();
    if (s[1] == ESC) {
        // ESC ESC [ ... : some terminals send Alt with a cursor key this way.
        if (s.size() >= 3 && (s[2] == '[' || s[2] == 'O')) {
            const std::size_t used = decode_escape(s.substr(1), out);
            if (used == 0) return 0;
            if (used == TOO_LONG) return 1;  // the second ESC starts the garbage
            add_alt(out, before);
            return used + 1;
        }
        push_key(out, key(Key::Esc));
        return 1;
    }
    // ESC followed by a key is that key with Alt.
    const std::size_t used = decode_plain(s.substr(1), out);
    if (used == 0) return 0;
    if (out.size() == before) {
        // Not a key after all: the ESC stands alone, the rest is looked at again.
        push_key(out, key(Key::Esc));
        return 1;
    }
    add_alt(out, before);
    return used + 1;
}

std::size_t decode_one(std::string_view s, std::vector<Event>& out)
{
    if (s[0] == ESC) return decode_escape(s, out);
    return decode_plain(s, out);
}

const char* key_name(Key k)
{
    switch (k) {
    case Key::Backspace: return "Backspace";
    case Key::Enter: return "Enter";
    case Key::Left: return "Left";
    case Key::Right: return "Right";
    case Key::Up: return "Up";
    case Key::Down: return "Down";
    case Key::Home: return "Home";
    case Key::End: return "End";
    case Key::PageUp: return "PageUp";
    case Key::PageDown: return "PageDown";
    case Key::Tab: return "Tab";
    case Key::BackTab: return "BackTab";
    case Key::Delete: return "Delete";
    case Key::Insert: return "Insert";
    case Key::F: return "F";
    case Key::Char: return "Char";
    case Key::Null: return "Null";
    case Key::Esc: return "Esc";
    case Key::CapsLock: return "CapsLock";
    case Key::ScrollLock: return "ScrollLock";
    case Key::NumLock: return "NumLock";
    case Key::PrintScreen: return "PrintScreen";
    case Key::Pause: return "Pause";
    case Key::Menu: return "Menu";
    case Key::KeypadBegin: return "KeypadBegin";
    case Key::Media: return "Media";
    case Key::Modifier: return "Modifier";
    }
    return "?";
}

std::string modifier_prefix(KeyModifiers m)
{
    std::string s;
    if (m & CONTROL) s += "Ctrl+";
    if (m & ALT) s += "Alt+";
    if (m & SHIFT) s += "Shift+";
    if (m & SUPER) s += "Super+";
    if (m & HYPER) s += "Hyper+";
    if (m & META) s += "Meta+";
    return s;
}

std::string describe_code(const KeyCode& code)
{
    if (code.key == Key::F) {
        // Appended rather than "F" + std::to_string(...): g++ 12 at -O3
        // sees a false overlap in that operator+ (-Wrestrict).
        std::string name = "F";
        name += std::to_string(code.f);
        return name;
    }
    if (code.key != Key::Char) return key_name(code.key);
    if (code.ch == ' ') return "Space";
    const bool printable = code.ch > 0x20 && !(code.ch >= 0x7F && code.ch <= 0x9F) &&
                           !(code.ch >= 0xD800 && code.ch <= 0xDFFF) && code.ch <= 0x10FFFF;
    if (!printable) {
        char name[16];
        std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code.ch));
        return name;
    }
    std::string s;
    utf8::append(s, code.ch);
    return s;
}

std::string describe_mouse(const MouseEvent& m)
{
    static constexpr std::array<const char*, 8> KINDS = {"Down",       "Up",       "Drag",       "Moved",
                                                         "ScrollDown", "ScrollUp", "ScrollLeft", "ScrollRight"};
    static constexpr std::array<const char*, 3> BUTTONS = {"Left", "Right", "Middle"};
    std::string s = "Mouse " + modifier_prefix(m.modifiers) + KINDS[static_cast<std::size_t>(m.kind)];
    if (m.kind == MouseEventKind::Down || m.kind == MouseEventKind::Up || m.kind == MouseEventKind::Drag) {
        s += ' ';
        s += BUTTONS[static_cast<std::size_t>(m.button)];
    }
    s += ' ' + std::to_string(m.column) + ',' + std::to_string(m.row);
    return s;
}

}  // namespace

std::size_t InputDecoder::take_paste(std::string_view input, std::vector<Event>& out)
{
    std::size_t end = input.find(PASTE_END);
    std::size_t used = end == std::string_view::npos ? input.size() : end + PASTE_END.size();
    if (end == std::string_view::npos) {
        // The closing bracket may be cut by the end of this read: the bytes
        // that could begin it wait for the next.
        end = input.size();
        for (std::size_t k = std::min(input.size(), PASTE_END.size() - 1); k > 0; --k)
            if (PASTE_END.starts_with(input.substr(input.size() - k))) {
                end = input.size() - k;
                used = end;
                break;
            }
    }
    const std::size_t room = MAX_PASTE - paste_.size();
    if (end > room) paste_cut_ = true;
    paste_.append(input.substr(0, std::min(end, room)));
    if (used == end + PASTE_END.size() && input.substr(end).starts_with(PASTE_END)) end_paste(out);
    return used;
}

void InputDecoder::end_paste(std::vector<Event>& out)
{
    if (!pasting_) return;
    // What looked like the start of the closing bracket was text after all.
    const std::size_t room = MAX_PASTE - paste_.size();
    if (pending_.size() > room) paste_cut_ = true;
    paste_.append(pending_, 0, std::min(pending_.size(), room));
    pending_.clear();
    pasting_ = false;
    out.emplace_back(PasteEvent{utf8::repair(paste_), paste_cut_});
    std::string().swap(paste_);
    paste_cut_ = false;
}

void InputDecoder::feed(std::string_view bytes, std::vector<Event>& out)
{
    std::string joined;
    std::string_view input = bytes;
    if (!pending_.empty()) {
        joined = std::move(pending_);
        pending_.clear();
        joined += bytes;
        input = joined;
    }
    std::size_t at = 0;
    while (at < input.size()) {
        if (pasting_) {
            const std::size_t used = take_paste(input.substr(at), out);
            if (pasting_ && at + used < input.size()) {
                // A possible start of the closing bracket waits for more bytes.
                pending_.assign(input.substr(at + used));
                return;
            }
            at += used;
            continue;
        }
        if (discarding_) {
            const auto c = static_cast<unsigned char>(input[at]);
            if (c >= 0x20 && c <= 0x3F) {
                ++at;
                continue;
            }
            discarding_ = false;
            if (c >= 0x40 && c <= 0x7E) ++at;
            continue;
        }
        if (input.substr(at).starts_with(PASTE_START)) {
            pasting_ = true;
            at += PASTE_START.size();
            continue;
        }
        const std::size_t used = decode_one(input.substr(at), out);
        if (used == 0) break;
        if (used == TOO_LONG) {
            discarding_ = true;
            at += 2;  // ESC and the introducer; the loop skips the rest
            continue;
        }
        at += used;
    }
    const std::string_view rest = input.substr(at);
    // Nothing followed the ESC in this read, so no sequence is on its way:
    // the user pressed Esc.
    if (rest.size() == 1 && rest[0] == ESC)
        push_key(out, key(Key::Esc));
    else
        pending_.assign(rest);
}

std::string describe(const Event& event)
{
    if (const auto* k = std::get_if<KeyEvent>(&event)) {
        static constexpr std::array<const char*, 3> KINDS = {" Press", " Repeat", " Release"};
        return modifier_prefix(k->modifiers) + describe_code(k->code) + KINDS[static_cast<std::size_t>(k->kind)];
    }
    if (const auto* m = std::get_if<MouseEvent>(&event)) return describe_mouse(*m);
    if (const auto* r = std::get_if<ResizeEvent>(&event))
        return "Resize " + std::to_string(r->columns) + 'x' + std::to_string(r->rows);
    if (std::holds_alternative<FocusGained>(event)) return "FocusGained";
    if (std::holds_alternative<FocusLost>(event)) return "FocusLost";
    const PasteEvent& paste = std::get<PasteEvent>(event);
    return "Paste \"" + paste.text + '"' + (paste.cut ? " cut" : "");
}

}  // namespace term
