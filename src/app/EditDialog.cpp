#include "app/Dialogs.h"
#include "app/EditDialog.h"

#include "app/Accessibility.h"
#include "app/Bind.h"
#include "app/Buttons.h"

#include <adwaita.h>
#include <glib/gi18n-lib.h>
#include <gtkmm/builder.h>
#include <gtkmm/shortcutcontroller.h>

namespace tarn {

EditDialog::EditDialog(Gtk::Window& parent, Published<bool>& shown, Published<std::string>& text, const std::string& heading,
                       const std::string& body, const std::string& actionLabel, int width, int editorHeight,
                       std::function<void()> action)
    : shown_(shown), action_(std::move(action)), body_(body) {
    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/edit-dialog.ui");
    dialog_.reset(GTK_WIDGET(g_object_ref(builder->get_object("dialog")->gobj())));
    editor_ = builder->get_widget<Gtk::TextView>("editor");
    auto* dialog = ADW_MESSAGE_DIALOG(dialog_.get());
    adw_message_dialog_set_heading(dialog, heading.c_str());
    adw_message_dialog_set_body(dialog, body.c_str());
    adw_message_dialog_set_response_label(dialog, "apply", actionLabel.c_str());
    gtk_widget_insert_action_group(dialog_.get(), "win", G_ACTION_GROUP(parent.gobj()));
    makeModal(GTK_WINDOW(dialog_.get()), parent.gobj());
    gtk_window_set_default_size(GTK_WINDOW(dialog_.get()), width, -1);
    auto* frame = builder->get_widget<Gtk::ScrolledWindow>("frame");
    frame->set_size_request(width - 48, editorHeight);
    setAccessibleLabel(*editor_, heading);
    nameInnerParts(*frame, heading);
    bind::text(*editor_, editor_->get_buffer(), text);

    // A multi-line editor takes Return for itself: Ctrl+Return answers the default.
    auto shortcuts = Gtk::ShortcutController::create();
    shortcuts->add_shortcut(Gtk::Shortcut::create(
        Gtk::KeyvalTrigger::create(GDK_KEY_Return, Gdk::ModifierType::CONTROL_MASK),
        Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
            respond("apply");
            return true;
        })));
    editor_->add_controller(shortcuts);

    g_signal_connect(dialog_.get(), "response", G_CALLBACK(onResponse), this);
    g_signal_connect(dialog_.get(), "close-request", G_CALLBACK(onCloseRequest), this);
    bind::to(*editor_, shown_, [this](bool show) {
        if (show && !visible()) {
            gtk_window_present(GTK_WINDOW(dialog_.get()));
            editor_->grab_focus();
        } else if (!show && visible()) {
            keepOpen_ = false;
            gtk_widget_set_visible(dialog_.get(), FALSE);
        }
    });
}

void EditDialog::showNotice(Published<std::string>& notice) {
    bind::to(*editor_, notice, [this](const std::string& text) {
        const std::string body = text.empty() ? body_ : body_ + "\n\n" + text;
        adw_message_dialog_set_body(ADW_MESSAGE_DIALOG(dialog_.get()), body.c_str());
    });
}

EditDialog::~EditDialog() {
    g_signal_handlers_disconnect_by_data(dialog_.get(), this);
    gtk_window_destroy(GTK_WINDOW(dialog_.get()));
}

void EditDialog::respond(const std::string& response) { adw_message_dialog_response(ADW_MESSAGE_DIALOG(dialog_.get()), response.c_str()); }

void EditDialog::onResponse(GtkWidget*, const char* response, gpointer data) {
    auto* self = static_cast<EditDialog*>(data);
    if (std::string(response) == "apply") {
        // The controller closes it when the change is made; a failure keeps the text here.
        self->keepOpen_ = true;
        self->action_();
    } else {
        self->keepOpen_ = false;
        self->shown_ = false;
    }
}

gboolean EditDialog::onCloseRequest(GtkWindow*, gpointer data) {
    auto* self = static_cast<EditDialog*>(data);
    if (self->keepOpen_ && *self->shown_) return TRUE;
    self->shown_ = false;
    return FALSE;
}

}  // namespace tarn
