#pragma once
#include "support/Url.h"

#include <optional>
#include <string>

// What a line of a dev server's output says about the server.
namespace tarn::serverOutput {

// The first address on this machine the line names ("localhost" or "127.0.0.1"), as it names it.
std::optional<Url> localAddress(const std::string& line);

enum class Meaning { nothing, commandNotFound, ready };
// "command not found" (any case) means the dev command's tool is missing; "ready", "started" or
// "localhost" that the server runs.
Meaning meaningOf(const std::string& line);

}  // namespace tarn::serverOutput
