#include "app/AddressField.h"

#include "app/Bind.h"
#include "app/Buttons.h"

#include <glib/gi18n-lib.h>

namespace tarn {

AddressField::AddressField(AppViewModel& model) {
    add_css_class("tarn-address");
    set_placeholder_text("http://localhost:3000");
    set_hexpand(true);
    set_valign(Gtk::Align::CENTER);
    set_input_purpose(Gtk::InputPurpose::URL);
    setAccessibleLabel(*this, _("Address"));
    bind::text(*this, model.browser().browserAddress);
    signal_activate().connect([&model] { model.browser().loadTypedAddress(); });
}

}  // namespace tarn
