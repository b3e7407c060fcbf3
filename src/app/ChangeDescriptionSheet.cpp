#include "app/ChangeDescriptionSheet.h"

#include "app/Bind.h"

namespace tarn {

ChangeDescriptionSheet::ChangeDescriptionSheet(Gtk::Window& parent, AppViewModel& model,
                                               Published<std::string>& changeDescriptionText)
    : EditingSheet(parent, model.showChangeDescriptionSheet, 560, "Change Description",
                   "Describe the UI change and the agent will plan and apply it.", 140, "Run Agent",
                   [&model, &changeDescriptionText] {
                       // The sheet's own text goes, whatever the controller held before.
                       model.changeDescriptionDraft = *changeDescriptionText;
                       spawn(model.submitChangeDescription());
                   }) {
    bind::text(*this, editor().get_buffer(), changeDescriptionText);
}

}  // namespace tarn
