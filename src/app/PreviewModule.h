#pragma once
#include "preview/Preview.h"

#include <memory>
#include <string>

namespace tarn::preview_module {

// Opens the web engine's module once, from any thread; later calls wait for the first and share
// its outcome. Beside the window program first, then where the build put it.
struct Opened {
    PreviewFactory factory = nullptr;
    std::string error;  // why it could not be opened; empty when it was
};
const Opened& open();

// A new preview, or null with the reason in `error`.
std::unique_ptr<Preview> make(std::string& error);

}  // namespace tarn::preview_module
