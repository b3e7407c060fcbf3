#pragma once
#include "agents/style/Tailwind.h"
#include "model/InspectTarget.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A style change of a selected element, written where the element is styled: its class list in a
// Tailwind project; else its inline style, the rule that styles it (when that rule styles nothing
// else), or a class of its own with a rule for it. Deterministic and local: no agent is asked.
namespace tarn::style {

// What the page computed before, for the reply ("18px").
struct Request {
    InspectTarget target;  // located: its file and line
    Change change;
    std::string before;
};

// The files changed, relative to the root, and the reply's words:
// "Style: font size 18px → 22px on hero-title, src/App.jsx:17".
struct Result {
    std::vector<std::string> files;
    std::string message;
};

// Whether the project styles with Tailwind: tailwindcss among its package's dependencies.
bool usesTailwind(const std::filesystem::path& root);

// Writes the change atomically. Throws AgentServiceError with the reason when it cannot be done
// safely: no located element, a class list or style built in code, a value it cannot write.
Result apply(const std::filesystem::path& root, const Request& request);

// Where the page has each property's value from, for the panel: the utility class ("text-4xl"),
// the rule's place and selector ("src/App.css:12 · .card h2"), "Inline style", "Inherited"; empty
// when the page did not say. Reads each style sheet the page names once.
std::map<std::string, std::string> whereFrom(const std::filesystem::path& root, const InspectTarget& target);

// "font size", "padding (left and right)"… for the reply and the agent's request.
std::string describe(const Change& change);

}  // namespace tarn::style
