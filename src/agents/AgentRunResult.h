#pragma once
#include "model/AgentCommand.h"
#include "model/AgentPermission.h"
#include "model/AgentPlanStep.h"
#include "model/AgentStep.h"
#include "support/Task.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// What an agent tool's request run produced.
struct AgentRunResult {
    std::string summary;                    // first non-blank line of the answer, untrimmed
    std::vector<std::string> touchedFiles;  // changed paths after the run, sorted, no duplicates
    std::string output;                     // the full answer
    std::vector<AgentStep> steps;           // what the tool did, in order
    std::vector<AgentPlanStep> plan;        // the tool's own to-do list, as it last was
    std::string details;                    // turns, time and cost, when the tool says
    // Edits the tool's permissions refused (Plan Mode): the paths, or "" for an edit it did not name.
    std::vector<std::string> refusedEdits;
    // The agent's thinking along the way, as it wrote it (the last of it, when very long).
    std::string thoughts;

    friend bool operator==(const AgentRunResult&, const AgentRunResult&) = default;
};

// What a running agent tool tells the window as it works. Called on the reading thread, in the
// order the tool printed them; any may be empty.
struct AgentRunFeedback {
    // Text worth showing in the thinking message: the agent's own words as they come.
    std::function<void(const std::string&)> progress;
    // The tool's housekeeping and its standard error, for the agent log.
    std::function<void(const std::string&)> log;
    // A step began, or one already shown changed (the same id).
    std::function<void(const AgentStep&)> step;
    // The tool's to-do list, whole, each time it changes.
    std::function<void(const std::vector<AgentPlanStep>&)> plan;
    // The model the tool says it uses.
    std::function<void(const std::string&)> model;
    // The agent asks before it acts: the option the user chose, or nothing when the turn stops first.
    std::function<Task<std::optional<std::string>>(PermissionRequest)> permission = {};
    // The commands the agent offers after "/", whole, each time they change.
    std::function<void(const std::vector<AgentCommand>&)> commands = {};
};

// A request run stopped by the user: its group has been ended. Carries the paths git reports as
// changed afterwards, since the tool may have edited files before it stopped.
class AgentRunStopped : public CancellationError {
public:
    explicit AgentRunStopped(std::vector<std::string> touched, std::string how = {})
        : touchedFiles(std::move(touched)), how(std::move(how)) {}
    std::vector<std::string> touchedFiles;
    std::string how;  // how it stopped, when there is more to say than that it did
};

}  // namespace tarn
