#pragma once
#include "model/AgentStep.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn {

// One answer an agent offers when it asks before acting ("Allow once", "Always allow", "Reject").
struct PermissionOption {
    enum class Kind { allowOnce, allowAlways, rejectOnce, rejectAlways };
    std::string id;
    std::string name;
    Kind kind = Kind::allowOnce;

    bool allows() const { return kind == Kind::allowOnce || kind == Kind::allowAlways; }
    friend bool operator==(const PermissionOption&, const PermissionOption&) = default;
};

// What an agent asks leave to do, exactly: the command line it would run, or the files it would
// change and how. The turn waits for the answer.
struct PermissionRequest {
    std::string title;
    AgentStep::Kind kind = AgentStep::Kind::other;
    std::string command;                 // the command line, when it would run one
    std::vector<std::string> locations;  // project paths, "src/App.jsx:12"
    std::vector<StepDiff> diffs;
    std::vector<PermissionOption> options;
    // The option chosen, once answered; "" when the turn was stopped first.
    std::optional<std::string> answer;
    std::string note;  // why it was answered without the user (Plan Mode)

    friend bool operator==(const PermissionRequest&, const PermissionRequest&) = default;
};

// An answer given once for good ("Always allow"): this agent may do this kind of thing in this
// project without asking, until the user takes it back in Preferences. A command is allowed by its
// exact command line; anything else by its kind.
struct AlwaysAllowed {
    std::string agent;    // the runtime's id ("acp:Gemini CLI")
    std::string project;  // the project root's path
    AgentStep::Kind kind = AgentStep::Kind::other;
    std::string command;  // the command line, for a command

    static AlwaysAllowed of(std::string agent, std::string project, const PermissionRequest& request) {
        const bool run = request.kind == AgentStep::Kind::run;
        return {std::move(agent), std::move(project), request.kind, run ? (request.command.empty() ? request.title : request.command) : ""};
    }
    bool covers(const std::string& agentId, const std::string& projectPath, const PermissionRequest& request) const {
        return *this == of(agentId, projectPath, request);
    }
    friend bool operator==(const AlwaysAllowed&, const AlwaysAllowed&) = default;
};

}  // namespace tarn
