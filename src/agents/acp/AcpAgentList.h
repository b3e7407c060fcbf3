#pragma once
#include "agents/acp/AcpAgent.h"
#include "model/AgentPermission.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn::acpagents {

// The agents the user added, from Tarn's settings; none when the setting is absent or unreadable.
std::vector<AcpAgentEntry> saved();
// Throws PlatformError when the settings cannot be written.
void save(const std::vector<AcpAgentEntry>& agents);
// What the user allowed for good, from Tarn's settings; unreadable entries are left out.
std::vector<AlwaysAllowed> allowances();
// Throws PlatformError when the settings cannot be written.
void saveAllowances(const std::vector<AlwaysAllowed>& allowances);
// An agent from a name and a command line as a shell would split it ("gemini --acp"), with
// leading NAME=value words as its environment; the reason when the line cannot be read.
struct Parsed {
    std::optional<AcpAgentEntry> agent;
    std::string error;
};
Parsed parse(const std::string& name, const std::string& commandLine);
// The command line the agent runs, as the user would type it.
std::string commandLine(const AcpAgentEntry& agent);
// The saved agents, then the known ones on the search path that are not among them.
std::vector<AcpAgentEntry> offered(const std::vector<AcpAgentEntry>& saved);

}  // namespace tarn::acpagents
