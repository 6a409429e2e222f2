#include <windows.h>

#include <climits>

#include "clipboard/system_clipboard.hpp"

namespace {

// The locked memory of a global block, unlocked on every way out.
class LockedBlock {
public:
    explicit LockedBlock(HGLOBAL block) : block_(block), memory_(::GlobalLock(block)) {}
    ~LockedBlock()
    {
        if (memory_ != nullptr) ::GlobalUnlock(block_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;
    void* memory() const { return memory_; }

private:
    HGLOBAL block_;
    void* memory_;
};

}  // namespace

bool WindowsClipboard::try_open() { return ::OpenClipboard(nullptr) != 0; }

void WindowsClipboard::close()
{
    const bool impersonating = ::ImpersonateAnonymousToken(::GetCurrentThread()) != 0;
    (void)::CloseClipboard();
    if (impersonating) (void)::RevertToSelf();
}

bool WindowsClipboard::put_text(std::string_view utf8)
{
    if (utf8.empty() || utf8.size() > INT_MAX) return false;
    const int length = static_cast<int>(utf8.size());
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (units == 0) return false;

    // Movable and zeroed, with room for the terminating zero unit.
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (static_cast<SIZE_T>(units) + 1) * sizeof(wchar_t));
    if (block == nullptr) return false;
    {
        LockedBlock locked(block);
        if (locked.memory() == nullptr) {
            ::GlobalFree(block);
            return false;
        }
        auto* text = static_cast<wchar_t*>(locked.memory());
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text, units);
        text[units] = L'\0';
    }

    // Taking ownership of the clipboard; if that fails the text is still
    // offered.
    (void)::EmptyClipboard();
    if (::SetClipboardData(CF_UNICODETEXT, block) == nullptr) {
        ::GlobalFree(block);
        return false;
    }
    // The block is the clipboard's now; freeing it would pull the text out
    // from under every program that pastes it.
    return true;
}

std::optional<std::string> WindowsClipboard::take_text()
{
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT)) return std::nullopt;
    HANDLE handle = ::GetClipboardData(CF_UNICODETEXT);
    if (handle == nullptr) return std::nullopt;
    LockedBlock locked(handle);
    if (locked.memory() == nullptr) return std::nullopt;

    // The whole block: the text, its zero and whatever slack follows; the
    // layer cuts the text at its first zero.
    const SIZE_T units = ::GlobalSize(handle) / sizeof(wchar_t);
    if (units > INT_MAX) return std::nullopt;
    const auto* text = static_cast<const wchar_t*>(locked.memory());
    const int count = static_cast<int>(units);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
    if (bytes == 0) return std::nullopt;
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    if (::WideCharToMultiByte(CP_UTF8, 0, text, count, utf8.data(), bytes, nullptr, nullptr) == 0) return std::nullopt;
    return utf8;
}

std::unique_ptr<ClipboardBackend> make_system_clipboard(term::Output&)
{
    // The console has no clipboard of its own to feed: the system's is the
    // one every program shares.
    return std::make_unique<WindowsClipboard>();
}
