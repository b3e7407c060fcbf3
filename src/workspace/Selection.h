#pragma once
#include "model/InspectTarget.h"
#include "support/Published.h"
#include "support/Uuid.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// The page elements selected in inspect mode, in the order they were picked, and the inline editor
// that a Ctrl-click opens on one of them.
class Selection {
public:
    Published<bool> inspectModeEnabled{false};
    // The most recent of `selectedInspectTargets`, kept with it in one place.
    Published<std::optional<InspectTarget>> selectedInspectTarget;
    Published<std::vector<InspectTarget>> selectedInspectTargets;
    Published<Uuid> inspectSelectionPulseToken;
    Published<std::string> inlineTextDraft;
    Published<bool> showInlineEditor{false};
    // Said in the inline editor before an edit: the text shows more than once on the page.
    Published<std::string> inlineEditNotice;
    // Opens the inline editor on the element.
    void editInline(const InspectTarget& target);
    // The inline editor on the latest selected element, if any.
    void editSelected() {
        if (*selectedInspectTarget) editInline(**selectedInspectTarget);
    }

    // A click the page reported: selects, reselects in place, or deselects.
    void handleInspectSelection(const InspectTarget& target);
    void removeSelectedTarget(const std::string& selectionKey);
    // The same element (same key, same click), now located; nothing once it is deselected.
    void located(const InspectTarget& target);
    void clear();

private:
    void change(const std::function<void(std::vector<InspectTarget>&)>& edit);
};

}  // namespace tarn
