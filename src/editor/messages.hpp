#pragma once
// Every text the editor shows, in Uzbek, each exactly as the user reads it:
// the hints, prompts and messages of the message line, the status bar's
// words, the key reference, and the two error lines zep can end with. The
// layers below the editor report what happened as values (an IoError, an
// unmappable character); the words for them are made here.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "encoding/codec.hpp"
#include "encoding/text_encoding.hpp"
#include "os/io_error.hpp"

namespace msg {

// A message put together from its pieces: fixed words and what they name.
inline std::string join(std::initializer_list<std::string_view> pieces)
{
    std::size_t size = 0;
    for (const std::string_view piece : pieces) size += piece.size();
    std::string text;
    text.reserve(size);
    for (const std::string_view piece : pieces) text += piece;
    return text;
}

// ---- The two lines zep can end with, on standard error ----------------------

inline constexpr std::string_view STARTUP_ERROR = "zep: ishga tushirishda xato: ";
inline constexpr std::string_view RUNTIME_ERROR = "zep: xato: ";

// The words for an error of the layers below: the system's own text for an
// operating-system error.
inline std::string error_text(const IoError& error)
{
    switch (error.kind) {
    case IoError::Kind::System: return error.message;
    case IoError::Kind::Signal: return join({error.message, " signali olindi"});
    case IoError::Kind::TerminalClosed: return "terminal yopildi";
    case IoError::Kind::NotRegular: return "oddiy fayl emas";
    case IoError::Kind::OutOfMemory: return "xotira yetmadi";
    }
    return error.message;
}

// Ends the error line when the unsaved text was written to a recovery file.
inline std::string unsaved_text_at(std::string_view recovery_path)
{
    return join({"; saqlanmagan matn: ", recovery_path});
}

// ---- The message line -------------------------------------------------------------

// Shown once, at start.
inline constexpr std::string_view STARTUP_HINT =
    "Ctrl+S saqlash  |  Ctrl+E encoding  |  Ctrl+L qator raqami  |  Ctrl+Q chiqish |  F1 Yordam";

inline constexpr std::string_view QUIT_CONFIRM = "Saqlanmagan o'zgarishlar bor! Chiqish uchun Ctrl+Q ni yana bosing.";
inline constexpr std::string_view LINE_NUMBERS_ON = "Qator raqamlari yoqildi";
inline constexpr std::string_view LINE_NUMBERS_OFF = "Qator raqamlari o'chirildi";
inline constexpr std::string_view COPIED = "Nusxa olindi";
inline constexpr std::string_view CUT = "Kesildi";
inline constexpr std::string_view PASTE_CUT = "Qo'yilgan matn 64 MiB da kesildi";

// Saving and the encoding menu.
inline constexpr std::string_view NO_FILE_NAME = "Saqlash uchun fayl nomi yo'q (zep <fayl> bilan oching)";
inline constexpr std::string_view ENCODING_MENU =
    "Encoding: [1]UTF-8  [2]UTF-8 BOM  [3]UTF-16 LE  [4]UTF-16 BE  [5]CP1251  [6]CP1252  [7]CP866   Esc=bekor";
inline std::string saved(std::string_view name) { return join({"Saqlandi: ", name}); }
// The first Ctrl+S that would lose something only warns; the next key press,
// if it is Ctrl+S, saves.
inline std::string unreadable_bytes(std::uint64_t count)
{
    return join(
        {std::to_string(count), " ta bayt o'qilmadi va saqlansa yo'qoladi! Saqlash uchun Ctrl+S ni yana bosing."});
}
inline constexpr std::string_view CHANGED_ON_DISK =
    "Fayl diskda o'zgargan! Ustidan yozish uchun Ctrl+S ni yana bosing.";
inline std::string save_failed(std::string_view error) { return join({"Saqlashda xato: ", error}); }
inline std::string unmappable(const Unmappable& error)
{
    return join({"Matn ", info_of(error.encoding).whatwg_name,
                 " ga to'liq o'tkazilmadi (ba'zi belgilar qo'llab-quvvatlanmaydi)"});
}
inline std::string save_encoding(TextEncoding encoding)
{
    return join({"Saqlash encodingi: ", encoding_label(encoding)});
}
inline std::string reloaded(TextEncoding encoding) { return join({"Qayta o'qildi: ", encoding_label(encoding)}); }
inline std::string reload_failed(const IoError& error) { return join({"Xato: ", error_text(error)}); }

// Search and replace.
inline constexpr std::string_view FIND_PROMPT = "Qidirish: ";
inline constexpr std::string_view REPLACE_FIND_PROMPT = "Qidirish (almashtirish): ";
inline constexpr std::string_view NOTHING_FOUND = "Hech narsa topilmadi";
inline constexpr std::string_view REPLACING_DONE = "Almashtirish tugadi";
inline std::string not_found(std::string_view search) { return join({"\"", search, "\" topilmadi"}); }
inline std::string match_counter(std::string_view search, std::size_t index, std::size_t count)
{
    return join({"\"", search, "\" \u2014 ", std::to_string(index + 1), "/", std::to_string(count),
                 " topildi  Ctrl+N=keyingi  Ctrl+P=oldingi"});
}
inline std::string replace_prompt(std::string_view search, std::string_view replacement, std::size_t count)
{
    return join({"Almashtirish: ", search, " -> ", replacement, "  (", std::to_string(count),
                 " ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor"});
}
inline std::string replaced_all(std::size_t count) { return join({std::to_string(count), " ta almashtirildi"}); }

// ---- The status bar ------------------------------------------------------------------

// The document's name when it has none.
inline constexpr std::string_view UNTITLED = "[Nomsiz]";
// After the line count: "{lines} qator ".
inline constexpr std::string_view LINES_WORD = " qator ";

// ---- The key reference (F1) ----------------------------------------------------------

// The key reference, one entry per row of the box. Key names are padded so
// that every description starts at character 20.
inline constexpr std::array<std::string_view, 44> HELP_LINES = {
    "",
    "  ZEP — Terminal matn muharriri",
    "",
    "  NAVIGATSIYA",
    "  Arrow keys        Kursor harakati",
    "  Home / End        Qator boshi / oxiri",
    "  Ctrl+Home/End     Fayl boshi / oxiri",
    "  Ctrl+Left/Right   So'z boshi / oxiri",
    "  Ctrl+Up/Down      Scroll (kursor qimirlamaydi)",
    "  PageUp/Down       Sahifama-sahifa",
    "",
    "  TANLASH",
    "  Shift+Arrow       Belgilab borish",
    "  Shift+Home/End    Qator boshi/oxirigacha",
    "  Ctrl+Shift+L/R    So'zlab tanlash",
    "  Ctrl+A            Hammasini tanlash",
    "  Ikki marta bosish So'zni tanlash",
    "  Esc               Tanlashni bekor qilish",
    "",
    "  TAHRIRLASH",
    "  Ctrl+C            Nusxa olish",
    "  Ctrl+X            Kesib olish",
    "  Ctrl+V            Qo'yish",
    "  Ctrl+Z            Ortga qaytarish (Undo)",
    "  Ctrl+Y            Qayta bajarish (Redo)",
    "  Ctrl+D            Qatorni duplikat",
    "  Ctrl+K            Qator oxirigacha o'chirish",
    "  Ctrl+Backspace    So'zni o'chirish (chapga)",
    "  Ctrl+Delete       So'zni o'chirish (o'ngga)",
    "",
    "  QIDIRISH",
    "  Ctrl+F            Qidirish",
    "  Ctrl+H            Almashtirish",
    "  Ctrl+N / Ctrl+P   Keyingi / Oldingi natija",
    "",
    "  BOSHQA",
    "  Ctrl+S            Saqlash",
    "  Ctrl+E            Encoding tanlash",
    "  Ctrl+L            Qator raqamlari yoq/o'ch",
    "  Ctrl+Q            Chiqish",
    "  F1                Shu yordam oynasi",
    "",
    "  Istalgan tugmani bosib yoping",
    "",
};

}  // namespace msg
