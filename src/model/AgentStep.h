#pragma once
#include <string>
#include <vector>

namespace tarn {

// A change a step makes, or would make, to one file: the text before (empty for a new file) and after.
struct StepDiff {
    std::string path;
    std::string oldText;
    std::string newText;

    friend bool operator==(const StepDiff&, const StepDiff&) = default;
};

// One thing an agent did on its way to a reply, as a person reads it ("Reading src/App.jsx"):
// shown while it runs, marked when it ends, and kept with the reply.
struct AgentStep {
    enum class Kind { read, edit, run, search, web, think, other };
    enum class Status { running, done, failed };

    std::string id;  // the tool's own id for the call, so its end finds it
    Kind kind = Kind::other;
    std::string title;
    Status status = Status::running;
    // Where it acted ("src/App.jsx:12") and what it changed, when the agent says.
    std::vector<std::string> locations = {};
    std::vector<StepDiff> diffs = {};

    friend bool operator==(const AgentStep&, const AgentStep&) = default;
};

}  // namespace tarn
