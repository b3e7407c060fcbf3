#pragma once
#include "support/Task.h"

#include <functional>
#include <string>
#include <vector>

namespace tarn {

// What an agent tool's request run produced.
struct AgentRunResult {
    std::string summary;                    // first non-blank line of the answer, untrimmed
    std::vector<std::string> touchedFiles;  // changed paths after the run, sorted, no duplicates
    std::string output;                     // the full answer

    friend bool operator==(const AgentRunResult&, const AgentRunResult&) = default;
};

// What a running agent tool tells the window as it works: short progress texts worth showing, and
// the rest of what it prints (its own housekeeping), for the server log. Either may be empty.
struct AgentRunFeedback {
    std::function<void(const std::string&)> progress;
    std::function<void(const std::string&)> log;
};

// A request run stopped by the user: its group has been ended. Carries the paths git reports as
// changed afterwards, since the tool may have edited files before it stopped.
class AgentRunStopped : public CancellationError {
public:
    explicit AgentRunStopped(std::vector<std::string> touched) : touchedFiles(std::move(touched)) {}
    std::vector<std::string> touchedFiles;
};

}  // namespace tarn
