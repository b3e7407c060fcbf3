#include "app/ChangeDescriptionSheet.h"

#include "app/Bind.h"

namespace tarn {

ChangeDescriptionSheet::ChangeDescriptionSheet(Gtk::Window& parent, AppViewModel& model)
    : EditingSheet(parent, model.showChangeDescriptionSheet, 560, "Change Description",
                   "Describe the UI change and the agent will plan and apply it.", 140, "Run Agent",
                   [&model] { spawn(model.submitChangeDescription()); }) {
    bind::text(*this, editor().get_buffer(), model.changeDescriptionDraft);
}

}  // namespace tarn
