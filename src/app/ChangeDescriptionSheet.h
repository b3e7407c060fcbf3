#pragma once
#include "app/EditingSheet.h"
#include "workspace/AppViewModel.h"

namespace tarn {

// Describes a change to the selected elements in words: "Run Agent" sends the sheet's text.
class ChangeDescriptionSheet : public EditingSheet {
public:
    ChangeDescriptionSheet(Gtk::Window& parent, AppViewModel& model);
};

}  // namespace tarn
