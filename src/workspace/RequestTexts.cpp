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

std::string inlineEditInstruction(const InspectTarget& target, const std::string& newText, const std::string& refusal) {
    return "Apply a minimal copy edit.\nReplace this exact UI text:\n\"" + target.textSnippet + "\"\n\nWith:\n\"" + newText +
           "\"\n\nPreferred file hint: " + (target.location().empty() ? "unknown file" : target.location()) +
           (refusal.empty() ? std::string() : "\nA direct text replacement was not made: " + refusal) +
           "\nKeep the change minimal and do not refactor unrelated code.";
}

std::string replyText(const AgentRunResult& result) {
    std::string reply = text::startsWith(text::trim(result.output), text::trim(result.summary))
                            ? text::trim(result.output)
                            : result.summary + "\n\n" + result.output;
    if (auto note = refusedEditsNote(result.refusedEdits); !note.empty()) reply += "\n\n" + note;
    return reply;
}

std::string refusedEditsNote(const std::vector<std::string>& refused) {
    std::vector<std::string> files;
    bool unnamed = false;
    for (const auto& path : refused) {
        if (path.empty()) unnamed = true;
        else files.push_back(path);
    }
    if (files.size() == 1) return tr::format(_("The agent wanted to edit %1; Plan Mode kept the file as it was."), {files.front()});
    if (files.size() > 1) {
        return tr::format(_("The agent wanted to edit %1; Plan Mode kept the files as they were."), {text::join(files, ", ")});
    }
    if (unnamed) return _("The agent wanted to change the project; Plan Mode kept every file as it was.");
    return {};
}

}  // namespace tarn::requestTexts
