#include "app/InlineEditSheet.h"

#include "app/Bind.h"

namespace tarn {

InlineEditSheet::InlineEditSheet(Gtk::Window& parent, AppViewModel& model)
    : EditingSheet(parent, model.showInlineEditSheet, 520, "Inline Text Edit",
                   "Applies a minimal source edit based on the currently selected element.", 120, "Apply",
                   [&model] { spawn(model.submitInlineEdit()); }) {
    bind::text(*this, editor().get_buffer(), model.inlineTextDraft);
}

}  // namespace tarn
