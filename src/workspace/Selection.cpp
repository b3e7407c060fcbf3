#include "workspace/Selection.h"
#include "support/Translate.h"

#include <algorithm>

namespace tarn {

void Selection::change(const std::function<void(std::vector<InspectTarget>&)>& edit) {
    selectedInspectTargets.modify(edit);
    selectedInspectTarget = selectedInspectTargets->empty() ? std::nullopt : std::optional(selectedInspectTargets->back());
}

void Selection::handleInspectSelection(const InspectTarget& t) {
    bool added = false;
    change([&](auto& list) {
        auto same = [&](const InspectTarget& e) { return e.selectionKey == t.selectionKey; };
        if (!t.isSelected) {
            std::erase_if(list, same);
        } else if (auto found = std::find_if(list.begin(), list.end(), same); found != list.end()) {
            *found = t;
        } else {
            list.push_back(t);
            added = true;
        }
    });
    if (added) inspectSelectionPulseToken = Uuid();
    // A Ctrl-click on an element with text opens the inline editor on it.
    if (t.isSelected && t.metaClick && !t.textSnippet.empty()) editInline(t);
}

void Selection::editInline(const InspectTarget& target) {
    inlineTextDraft = target.textSnippet;
    const auto n = static_cast<unsigned long>(target.sameTextCount);
    inlineEditNotice = target.sameTextCount > 1
                           ? tr::format(ngettext("This text shows %1 time on the page.",
                                                 "This text shows %1 times on the page. Where they all come from one place in "
                                                 "the sources, the edit changes every one of them.",
                                                 n),
                                        {std::to_string(n)})
                           : std::string();
    showInlineEditor = true;
}

void Selection::removeSelectedTarget(const std::string& selectionKey) {
    change([&](auto& list) { std::erase_if(list, [&](const InspectTarget& e) { return e.selectionKey == selectionKey; }); });
}

void Selection::located(const InspectTarget& target) {
    auto& list = *selectedInspectTargets;
    auto found = std::find_if(list.begin(), list.end(), [&](const InspectTarget& e) { return e.id == target.id; });
    if (found == list.end() || *found == target) return;
    const auto index = static_cast<std::size_t>(found - list.begin());
    change([&](auto& all) { all[index] = target; });
}

void Selection::clear() {
    change([](auto& list) { list.clear(); });
}

}  // namespace tarn
