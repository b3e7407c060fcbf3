#include "app/VersionsWindow.h"

#include "app/Bind.h"
#include "app/Icons.h"

#include <adwaita.h>
#include <glib/gi18n-lib.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/shortcutcontroller.h>

namespace tarn {

VersionsWindow::VersionsWindow(Gtk::Window& parent, AppViewModel& model, Published<bool>& shown)
    : model_(model), shown_(shown) {
    set_title(_("Versions"));
    set_transient_for(parent);
    // Its buttons are the main window's actions.
    gtk_widget_insert_action_group(GTK_WIDGET(gobj()), "win", G_ACTION_GROUP(parent.gobj()));
    set_modal(true);
    set_hide_on_close(true);
    set_default_size(560, 460);

    auto* header = Gtk::make_managed<Gtk::HeaderBar>();
    labelledButton(refresh_, _("Refresh"), "win.refresh-versions", _("Read the project's branches again"));
    header->pack_start(refresh_);
    set_titlebar(*header);

    auto* content = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 12);
    content->set_margin(16);
    list_.add_css_class("boxed-list");
    list_.set_selection_mode(Gtk::SelectionMode::NONE);
    list_.set_valign(Gtk::Align::START);
    auto* none = Gtk::make_managed<Gtk::Label>(_("No versions found."));
    none->add_css_class("dim-label");
    none->set_margin(12);
    list_.set_placeholder(*none);
    setAccessibleLabel(list_, _("Versions"));
    auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
    scroller->set_child(list_);
    scroller->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    scroller->set_min_content_height(220);
    scroller->set_vexpand(true);
    content->append(*scroller);

    auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    name_.set_placeholder_text("new-version-name");
    name_.add_css_class("tarn-mono");
    name_.set_hexpand(true);
    setAccessibleLabel(name_, _("New version name"));
    bind::text(name_, model_.newVersionName);
    name_.set_activates_default(true);
    // Never disabled: the controller turns empty or invalid names away with a message.
    labelledButton(create_, _("Create"), "win.create-version", _("A new version from the present state"));
    create_.add_css_class("suggested-action");
    row->append(name_);
    row->append(create_);
    content->append(*row);
    set_child(*content);
    set_default_widget(create_);

    auto shortcuts = Gtk::ShortcutController::create();
    shortcuts->add_shortcut(Gtk::Shortcut::create(Gtk::KeyvalTrigger::create(GDK_KEY_Escape), Gtk::NamedAction::create("window.close")));
    add_controller(shortcuts);
    signal_close_request().connect(
        [this] {
            shown_ = false;
            return false;
        },
        false);
    bind::to(*this, shown_, [this](bool show) {
        if (show && !get_visible()) {
            spawn(model_.refreshVersions());
            present();
        } else if (!show && get_visible()) {
            set_visible(false);
        }
    });
    bind::to(*this, model_.versions, [this](const auto&) { showVersions(); });
}

void VersionsWindow::showVersions() {
    while (auto* row = list_.get_row_at_index(0)) list_.remove(*row);
    for (const auto& version : *model_.versions) {
        GtkWidget* row = adw_action_row_new();
        adw_preferences_row_set_title(ADW_PREFERENCES_ROW(row), version.name.c_str());
        adw_preferences_row_set_use_markup(ADW_PREFERENCES_ROW(row), FALSE);
        gtk_widget_add_css_class(row, "tarn-mono");
        if (version.isCurrent) {
            auto* badge = Gtk::make_managed<Gtk::Label>(_("Current"));
            badge->add_css_class("tarn-caption2");
            badge->add_css_class("tarn-current-badge");
            badge->set_valign(Gtk::Align::CENTER);
            adw_action_row_add_suffix(ADW_ACTION_ROW(row), GTK_WIDGET(badge->gobj()));
        }
        auto* button = Gtk::make_managed<Gtk::Button>(version.isCurrent ? _("Checked Out") : _("Checkout"));
        button->add_css_class("suggested-action");
        button->set_valign(Gtk::Align::CENTER);
        if (version.isCurrent) {
            button->set_sensitive(false);
        } else {
            button->set_action_name("win.checkout");
            button->set_action_target_value(Glib::Variant<Glib::ustring>::create(version.name));
        }
        setAccessibleLabel(*button, (version.isCurrent ? _("Checked out: ") : _("Check out ")) + version.name);
        adw_action_row_add_suffix(ADW_ACTION_ROW(row), GTK_WIDGET(button->gobj()));
        list_.append(*Glib::wrap(row));
    }
}

}  // namespace tarn
