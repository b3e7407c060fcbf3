#pragma once
#include "app/EditingSheet.h"
#include "workspace/AppViewModel.h"

namespace tarn {

// Edits the selected element's text in place: "Apply" runs the controller's inline edit.
class InlineEditSheet : public EditingSheet {
public:
    InlineEditSheet(Gtk::Window& parent, AppViewModel& model);
};

}  // namespace tarn
