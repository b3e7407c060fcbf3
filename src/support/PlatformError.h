#pragma once
#include <stdexcept>
#include <string>

namespace tarn {

// A failure reported by the operating system or a library, carrying its own message.
class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& message, int code = 0)
        : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

}  // namespace tarn
