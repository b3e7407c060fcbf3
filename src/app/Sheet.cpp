#include "app/Sheet.h"

#include "app/Bind.h"

#include <gtkmm/shortcutcontroller.h>

namespace tarn {

Sheet::Sheet(Gtk::Window& parent, Published<bool>& shown, int width, int height) : shown_(shown) {
    set_transient_for(parent);
    set_modal(true);
    set_hide_on_close(true);
    set_resizable(false);
    set_default_size(width, height);
    set_size_request(width, height);
    content_.set_margin(16);
    set_child(content_);

    auto shortcuts = Gtk::ShortcutController::create();
    shortcuts->add_shortcut(Gtk::Shortcut::create(Gtk::KeyvalTrigger::create(GDK_KEY_Escape),
                                                  Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
                                                      dismiss();
                                                      return true;
                                                  })));
    add_controller(shortcuts);
    signal_close_request().connect(
        [this] {
            dismiss();
            return true;  // hidden by the flag, never destroyed here
        },
        false);

    bind::to(*this, shown_, [this](bool show) {
        if (show && !get_visible()) {
            appearing();
            present();
        } else if (!show && get_visible()) {
            set_visible(false);
        }
    });
}

Sheet::~Sheet() = default;

}  // namespace tarn
