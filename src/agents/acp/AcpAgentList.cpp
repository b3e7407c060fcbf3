#include "agents/acp/AcpAgentList.h"
#include "support/Translate.h"

#include "agents/AgentToolSupport.h"
#include "support/Json.h"
#include "support/Settings.h"
#include "support/Text.h"

#include <algorithm>
#include <glib.h>

namespace tarn::acpagents {

namespace {

// The objects of a list kept as JSON in the settings; none when absent or unreadable.
std::vector<json::Json> savedObjects(const char* key) {
    std::vector<json::Json> out;
    auto text = settings::get("Agents", key);
    if (!text) return out;
    auto parsed = json::Json::parse(*text, nullptr, false);
    if (!parsed.is_array()) return out;
    for (auto& item : parsed) {
        if (item.is_object()) out.push_back(std::move(item));
    }
    return out;
}

}  // namespace

std::vector<AcpAgentEntry> saved() {
    std::vector<AcpAgentEntry> agents;
    for (const auto& item : savedObjects("acp")) {
        AcpAgentEntry agent;
        agent.name = json::stringMember(item, "name").value_or("");
        agent.command = json::stringMember(item, "command").value_or("");
        if (agent.name.empty() || agent.command.empty()) continue;
        if (auto args = item.find("arguments"); args != item.end() && args->is_array()) {
            for (const auto& a : *args) {
                if (a.is_string()) agent.arguments.push_back(a.get<std::string>());
            }
        }
        if (auto env = item.find("environment"); env != item.end() && env->is_object()) {
            for (const auto& [key, value] : env->items()) {
                if (value.is_string()) agent.environment[key] = value.get<std::string>();
            }
        }
        agents.push_back(std::move(agent));
    }
    return agents;
}

void save(const std::vector<AcpAgentEntry>& agents) {
    json::Json list = json::Json::array();
    for (const auto& agent : agents) {
        list.push_back({{"name", agent.name}, {"command", agent.command}, {"arguments", agent.arguments}, {"environment", agent.environment}});
    }
    settings::set("Agents", "acp", list.dump());
}

namespace {

constexpr std::pair<AgentStep::Kind, const char*> kindNames[] = {
    {AgentStep::Kind::read, "read"}, {AgentStep::Kind::edit, "edit"}, {AgentStep::Kind::run, "run"}, {AgentStep::Kind::search, "search"},
    {AgentStep::Kind::web, "web"},   {AgentStep::Kind::think, "think"}, {AgentStep::Kind::other, "other"},
};

}  // namespace

std::vector<AlwaysAllowed> allowances() {
    std::vector<AlwaysAllowed> out;
    for (const auto& item : savedObjects("always-allowed")) {
        AlwaysAllowed allowed{json::stringMember(item, "agent").value_or(""), json::stringMember(item, "project").value_or(""),
                              AgentStep::Kind::other, json::stringMember(item, "command").value_or("")};
        const std::string kind = json::stringMember(item, "kind").value_or("");
        auto known = std::find_if(std::begin(kindNames), std::end(kindNames), [&](const auto& k) { return kind == k.second; });
        if (allowed.agent.empty() || allowed.project.empty() || known == std::end(kindNames)) continue;
        allowed.kind = known->first;
        out.push_back(std::move(allowed));
    }
    return out;
}

void saveAllowances(const std::vector<AlwaysAllowed>& allowances) {
    json::Json list = json::Json::array();
    for (const auto& a : allowances) {
        auto kind = std::find_if(std::begin(kindNames), std::end(kindNames), [&](const auto& k) { return a.kind == k.first; });
        list.push_back({{"agent", a.agent}, {"project", a.project}, {"kind", kind->second}, {"command", a.command}});
    }
    settings::set("Agents", "always-allowed", list.dump());
}

Parsed parse(const std::string& name, const std::string& line) {
    Parsed out;
    const std::string trimmedName = text::trim(name);
    if (trimmedName.empty()) {
        out.error = _("Give the agent a name.");
        return out;
    }
    int argc = 0;
    char** argv = nullptr;
    GError* error = nullptr;
    if (!g_shell_parse_argv(line.c_str(), &argc, &argv, &error)) {
        out.error = text::trim(line).empty() ? std::string(_("Give the command that starts the agent.")) : std::string(error->message);
        g_clear_error(&error);
        return out;
    }
    AcpAgentEntry agent;
    agent.name = trimmedName;
    int i = 0;
    // NAME=value words before the command are its environment, as in a shell.
    for (; i < argc; ++i) {
        std::string word = argv[i];
        const auto equals = word.find('=');
        if (equals == std::string::npos || equals == 0 || word.find('/') < equals) break;
        agent.environment[word.substr(0, equals)] = word.substr(equals + 1);
    }
    if (i < argc) agent.command = argv[i++];
    for (; i < argc; ++i) agent.arguments.push_back(argv[i]);
    g_strfreev(argv);
    if (agent.command.empty()) {
        out.error = _("Give the command that starts the agent.");
        return out;
    }
    out.agent = std::move(agent);
    return out;
}

std::string commandLine(const AcpAgentEntry& agent) {
    std::vector<std::string> words;
    auto quoted = [](const std::string& word) {
        gchar* q = g_shell_quote(word.c_str());
        std::string s = word.find_first_of(" \t\n'\"\\$`*?[]#~|&;<>(){}!") == std::string::npos && !word.empty() ? word : q;
        g_free(q);
        return s;
    };
    for (const auto& [key, value] : agent.environment) words.push_back(key + "=" + quoted(value));
    words.push_back(quoted(agent.command));
    for (const auto& a : agent.arguments) words.push_back(quoted(a));
    return text::join(words, " ");
}

std::vector<AcpAgentEntry> offered(const std::vector<AcpAgentEntry>& saved) {
    std::vector<AcpAgentEntry> agents = saved;
    for (const auto& known : knownAcpAgents()) {
        const bool listed = std::any_of(agents.begin(), agents.end(), [&](const AcpAgentEntry& a) { return a.name == known.name; });
        if (!listed && AcpAgent(known).detectVersion()) agents.push_back(known);
    }
    return agents;
}

}  // namespace tarn::acpagents
