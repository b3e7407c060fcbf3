#pragma once
#include <string>

namespace tarn {

// One thing an agent did on its way to a reply, as a person reads it ("Reading src/App.jsx"):
// shown while it runs, marked when it ends, and kept with the reply.
struct AgentStep {
    enum class Kind { read, edit, run, search, web, think, other };
    enum class Status { running, done, failed };

    std::string id;  // the tool's own id for the call, so its end finds it
    Kind kind = Kind::other;
    std::string title;
    Status status = Status::running;

    friend bool operator==(const AgentStep&, const AgentStep&) = default;
};

}  // namespace tarn
