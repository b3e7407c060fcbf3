#pragma once
#include "agents/style/Tailwind.h"
#include "model/InspectTarget.h"

#include <filesystem>
#include <string>

// A style change of a selected element, written where the element is styled: its class list in a
// Tailwind project, or its inline style. Deterministic and local: no agent is asked.
namespace tarn::style {

// What the page computed before, for the reply ("18px").
struct Request {
    InspectTarget target;  // located: its file and line
    Change change;
    std::string before;
};

// The file changed, relative to the root, the line of the element's tag, and the reply's words:
// "Style: font size 18px → 22px on hero-title, src/App.jsx:17".
struct Result {
    std::string file;
    int line = 0;
    std::string message;
};

// Whether the project styles with Tailwind: tailwindcss among its package's dependencies.
bool usesTailwind(const std::filesystem::path& root);

// Writes the change atomically. Throws AgentServiceError with the reason when it cannot be done
// safely: no located element, a class list or style built in code, a value it cannot write.
Result apply(const std::filesystem::path& root, const Request& request);

// "font size", "padding (left and right)"… for the reply and the agent's request.
std::string describe(const Change& change);

}  // namespace tarn::style
