#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace tarn {

// Cuts decoded text into lines at every newline character (LF, VT, FF, CR, NEL, LS, PS). Holds only
// the unfinished last line; empty lines are never delivered, so CR LF gives one line.
class LineSplitter {
public:
    using Sink = std::function<void(const std::string&)>;

    // `text` must hold whole characters (as a stream decoder gives).
    void append(std::string_view text, const Sink& sink);
    // Delivers what is left, trimmed of white space, when anything is; then empties the buffer.
    void flush(const Sink& sink);
    void clear() { pending_.clear(); }
    const std::string& pending() const { return pending_; }

private:
    std::string pending_;
};

}  // namespace tarn
