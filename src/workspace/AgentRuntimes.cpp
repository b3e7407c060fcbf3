#include "workspace/AgentRuntimes.h"
#include "support/Translate.h"

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
    availableAgentRuntimes = available;
    agentStatusLabel = text::join(parts, "  \u2022  ");
    probed_.open();

    auto has = [&](AgentRuntime r) { return std::find(available.begin(), available.end(), r) != available.end(); };
    if (available.empty()) {
        selectedAgentRuntime = AgentRuntime::codex;
        modelLabel = _("Local Agent");

        return;
    }
    const AgentRuntime choice = has(remembered) ? remembered : has(AgentRuntime::codex) ? AgentRuntime::codex : available.front();
    selectedAgentRuntime = choice;
    modelLabel = modelOf(choice);
}

void AgentRuntimes::select(AgentRuntime runtime) {
    const auto& available = *availableAgentRuntimes;
    if (std::find(available.begin(), available.end(), runtime) == available.end()) return;
    selectedAgentRuntime = runtime;
    modelLabel = modelOf(runtime);
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
    if (runtime == AgentRuntime::codex) return codex_;
    return claudeCode_;
}

}  // namespace tarn
