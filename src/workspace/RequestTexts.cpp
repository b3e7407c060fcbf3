#include "workspace/RequestTexts.h"
#include "support/Translate.h"

#include "support/Text.h"

namespace tarn::requestTexts {

std::string composeAgentRequest(const std::string& text, const std::vector<InspectTarget>& targets) {
    if (targets.empty()) return text;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < targets.size(); ++i) lines.push_back(describeSelectedTarget(i, targets[i]));
    return text + "\n\nSelected UI elements from the live preview (prioritize these when mapping code):\n" +
           text::join(lines, "\n");
}

std::string describeSelectedTarget(std::size_t index, const InspectTarget& t) {
    return std::to_string(index + 1) + ". component: " + (t.componentGuess.empty() ? "Unknown component" : t.componentGuess) +
           "; fileHint: " + (t.location().empty() ? "unknown file" : t.location()) + "; selector: " + t.selector +
           "; text: " + (t.textSnippet.empty() ? "(no text snippet)" : "\"" + t.textSnippet + "\"");
}

std::string inlineEditInstruction(const InspectTarget& target, const std::string& newText) {
    return "Apply a minimal copy edit.\nReplace this exact UI text:\n\"" + target.textSnippet + "\"\n\nWith:\n\"" + newText +
           "\"\n\nPreferred file hint: " + (target.location().empty() ? "unknown file" : target.location()) +
           "\nKeep the change minimal and do not refactor unrelated code.";
}

std::string replyText(const AgentRunResult& result) {
    if (text::startsWith(text::trim(result.output), text::trim(result.summary))) return text::trim(result.output);
    return result.summary + "\n\n" + result.output;
}

std::vector<AgentPlanStep> toolReplySteps(const std::string& toolName, const std::string& command, bool planMode) {
    return {
        AgentPlanStep{Uuid(), tr::format(_("Send request to %1"), {toolName}),
                      tr::format(_("Invoke `%1` with project context."), {command}), true},
        planMode ? AgentPlanStep{Uuid(), _("Generate plan only"), _("No files edited in plan mode."), true}
                 : AgentPlanStep{Uuid(), _("Apply implementation"), tr::format(_("%1 edited files directly."), {toolName}), true},
        AgentPlanStep{Uuid(), _("Update visual feedback loop"), _("Refresh app preview and touched files list."), true},

    };
}

}  // namespace tarn::requestTexts
