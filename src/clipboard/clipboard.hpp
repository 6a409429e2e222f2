#pragma once
// The system clipboard behind one small interface. A backend only knows how
// to try once; the retry policy around opening lives in the layer.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class ClipboardBackend {
public:
    virtual ~ClipboardBackend() = default;
    // One attempt to take the clipboard for this process.
    virtual bool try_open() = 0;
    virtual void close() = 0;
    // Called only while open.
    virtual bool put_text(std::string_view utf8) = 0;
    virtual std::optional<std::string> take_text() = 0;
};
