#include "workspace/AgentRuntimes.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "agents/acp/AcpAgentList.h"
#include "support/Text.h"

#include <algorithm>
#include <future>

namespace tarn {

AgentRuntimes::Versions AgentRuntimes::probe() const {
    // Both tools answer at the same time; each probe may take a few hundred milliseconds.
    auto claude = std::async(std::launch::async, [this] { return claudeCode_.detectVersion(); });
    Versions versions;
    versions.codex = codex_.detectVersion();
    versions.claudeCode = claude.get();
    versions.allowed = acpagents::allowances();
    for (auto& agent : acpagents::offered(acpagents::saved())) {
        auto path = AcpAgent(agent).detectVersion();
        versions.acp.emplace_back(std::move(agent), std::move(path));
    }
    return versions;
}

Task<void> AgentRuntimes::refreshInBackground() {
    auto keep = owner_.hold();
    probing_ = true;
    Versions versions = co_await inBackground([this] { return probe(); });
    apply(versions);
}

Task<void> AgentRuntimes::ensureKnown() {
    if (!probing_ && !known()) {
        co_await refreshInBackground();
    } else {
        co_await whenKnown();
    }
}

void AgentRuntimes::apply(const Versions& versions) {
    const AgentRuntime remembered = *selectedAgentRuntime;
    std::vector<AgentRuntime> available;
    std::vector<std::string> parts;
    for (const auto& [runtime, version] : {std::pair{AgentRuntime::codex, versions.codex}, std::pair{AgentRuntime::claudeCode, versions.claudeCode}}) {
        if (version) available.push_back(runtime);
        parts.push_back(tr::format(_("%1: %2"), {displayName(runtime), version ? *version : std::string(_("not installed"))}));
    }
    std::vector<AcpAgentEntry> offered;
    std::map<std::string, std::unique_ptr<AcpAgent>> kept;
    for (const auto& [agent, path] : versions.acp) {
        offered.push_back(agent);
        if (!path) continue;
        available.push_back(AgentRuntime::acp(agent.name));
        parts.push_back(tr::format(_("%1: %2"), {agent.name, _("available")}));
        // The agent's process and sessions stay while its entry is the same.
        auto same = acp_.find(agent.name);
        kept[agent.name] = same != acp_.end() && same->second->entry() == agent ? std::move(same->second) : std::make_unique<AcpAgent>(agent);
    }
    acp_ = std::move(kept);
    acpAgents = offered;
    alwaysAllowed = versions.allowed;
    availableAgentRuntimes = available;
    agentStatusLabel = text::join(parts, "  \u2022  ");
    probed_.open();

    auto has = [&](AgentRuntime r) { return std::find(available.begin(), available.end(), r) != available.end(); };
    if (available.empty()) {
        selectedAgentRuntime = AgentRuntime::codex;
        modelLabel = _("Local Agent");
        commands = std::vector<AgentCommand>{};
        return;
    }
    const AgentRuntime choice = has(remembered) ? remembered : has(AgentRuntime::codex) ? AgentRuntime::codex : available.front();
    selectedAgentRuntime = choice;
    modelLabel = modelOf(choice);
    commands = commandsOf(choice);
}

void AgentRuntimes::select(AgentRuntime runtime) {
    const auto& available = *availableAgentRuntimes;
    if (std::find(available.begin(), available.end(), runtime) == available.end()) return;
    selectedAgentRuntime = runtime;
    modelLabel = modelOf(runtime);
    commands = commandsOf(runtime);
}

std::vector<AgentCommand> AgentRuntimes::commandsOf(AgentRuntime runtime) const {
    auto it = reportedCommands_.find(runtime);
    return it != reportedCommands_.end() ? it->second : std::vector<AgentCommand>{};
}

void AgentRuntimes::reportCommands(AgentRuntime runtime, const std::vector<AgentCommand>& offered) {
    reportedCommands_[runtime] = offered;
    if (resolved() == runtime) commands = offered;
}

std::string AgentRuntimes::modelOf(AgentRuntime runtime) const {
    auto it = reportedModels_.find(runtime);
    return it != reportedModels_.end() ? it->second : toolFor(runtime).modelLabel();
}

void AgentRuntimes::reportModel(AgentRuntime runtime, const std::string& model) {
    if (model.empty()) return;
    reportedModels_[runtime] = model;
    if (resolved() == runtime) modelLabel = model;
}

void AgentRuntimes::logLine(const std::string& line) {
    agentLog.modify([&](RollingList<std::string>& log) {
        log.push_back(line);
        log.trimTo(agentLogLimit);
    });
}

std::optional<AgentRuntime> AgentRuntimes::resolved() const {
    const auto& available = *availableAgentRuntimes;
    if (std::find(available.begin(), available.end(), *selectedAgentRuntime) != available.end()) return *selectedAgentRuntime;
    if (!available.empty()) return available.front();
    return std::nullopt;
}

const AgentTool* AgentRuntimes::tool() const {
    auto runtime = resolved();
    return runtime ? &toolFor(*runtime) : nullptr;
}

const AgentTool& AgentRuntimes::toolFor(AgentRuntime runtime) const {
    if (runtime.kind == AgentRuntime::Kind::acp) {
        if (auto it = acp_.find(runtime.agent); it != acp_.end()) return *it->second;
    }
    if (runtime == AgentRuntime::claudeCode) return claudeCode_;
    return codex_;
}

Task<void> AgentRuntimes::addAgent(AcpAgentEntry agent) {
    auto list = acpagents::saved();
    std::erase_if(list, [&](const AcpAgentEntry& a) { return a.name == agent.name; });
    list.push_back(std::move(agent));
    acpagents::save(list);
    co_await refreshInBackground();
}

Task<void> AgentRuntimes::removeAgent(std::string name) {
    auto list = acpagents::saved();
    std::erase_if(list, [&](const AcpAgentEntry& a) { return a.name == name; });
    acpagents::save(list);
    co_await refreshInBackground();
}

void AgentRuntimes::allowAlways(AlwaysAllowed allowed) {
    auto list = acpagents::allowances();
    if (std::find(list.begin(), list.end(), allowed) == list.end()) list.push_back(std::move(allowed));
    acpagents::saveAllowances(list);
    alwaysAllowed = list;
}

void AgentRuntimes::takeBack(const AlwaysAllowed& allowed) {
    auto list = acpagents::allowances();
    std::erase(list, allowed);
    acpagents::saveAllowances(list);
    alwaysAllowed = list;
}

}  // namespace tarn
