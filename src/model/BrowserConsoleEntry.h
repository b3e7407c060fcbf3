#pragma once
#include "support/Text.h"
#include "support/Uuid.h"

#include <chrono>
#include <string>

namespace tarn {

// One console line captured from the preview page.
struct BrowserConsoleEntry {
    Uuid id;
    std::string level;
    std::string message;
    std::chrono::system_clock::time_point date = std::chrono::system_clock::now();

    // As the console shows it and the logs are copied: "[ERROR] message".
    std::string line() const { return "[" + text::toUpper(level) + "] " + message; }

    friend bool operator==(const BrowserConsoleEntry&, const BrowserConsoleEntry&) = default;
};

}  // namespace tarn
