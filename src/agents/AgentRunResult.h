#pragma once
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

}  // namespace tarn
