#include "app/Dialogs.h"
#include "app/VersionsWindow.h"

#include "app/Accessibility.h"
#include "app/Bind.h"
#include "app/Buttons.h"
#include "support/GObjectPtr.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <adwaita.h>
#include <glib/gi18n-lib.h>
#include <gtkmm/builder.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/label.h>

namespace tarn {

namespace {

// "14:02" today, "3 Dec, 14:02" before, in the user's own way of writing dates.
std::string timeOf(std::chrono::system_clock::time_point time) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    GPtr<GDateTime, g_date_time_unref> when(g_date_time_new_from_unix_local(seconds));
    GPtr<GDateTime, g_date_time_unref> now(g_date_time_new_now_local());
    if (!when || !now) return {};
    const bool today = g_date_time_get_year(when.get()) == g_date_time_get_year(now.get()) &&
                       g_date_time_get_day_of_year(when.get()) == g_date_time_get_day_of_year(now.get());
    GCharPtr text(g_date_time_format(when.get(), today ? "%H:%M" : "%e %b, %H:%M"));
    return text ? text::trim(text.get()) : std::string();
}

Gtk::Widget* checkpointRow(const Checkpoint& checkpoint) {
    GtkWidget* row = adw_action_row_new();
    adw_preferences_row_set_use_markup(ADW_PREFERENCES_ROW(row), FALSE);
    adw_preferences_row_set_title(ADW_PREFERENCES_ROW(row), checkpoint.label.c_str());
    std::vector<std::string> parts{timeOf(checkpoint.time)};
    if (!checkpoint.branch.empty()) parts.push_back(checkpoint.branch);
    if (!checkpoint.files.empty()) {
        std::vector<std::string> names(checkpoint.files.begin(),
                                       checkpoint.files.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(3, checkpoint.files.size())));
        std::string files = text::join(names, ", ");
        if (checkpoint.files.size() > 3) files += " " + tr::format(_("and %1 more"), {std::to_string(checkpoint.files.size() - 3)});
        parts.push_back(files);
    }
    adw_action_row_set_subtitle(ADW_ACTION_ROW(row), text::join(parts, " · ").c_str());
    adw_action_row_set_subtitle_lines(ADW_ACTION_ROW(row), 2);
    auto* button = Gtk::make_managed<Gtk::Button>(_("Restore"));
    button->set_valign(Gtk::Align::CENTER);
    button->set_action_target_value(Glib::Variant<Glib::ustring>::create(checkpoint.id));
    button->set_action_name("win.restore-checkpoint");
    button->set_tooltip_text(_("Bring the whole project back to this point; the present is recorded first"));
    adw_action_row_add_suffix(ADW_ACTION_ROW(row), GTK_WIDGET(button->gobj()));
    return Glib::wrap(row);
}

Gtk::Widget* versionRow(const VersionItem& version) {
    GtkWidget* row = adw_action_row_new();
    adw_preferences_row_set_title(ADW_PREFERENCES_ROW(row), version.name.c_str());
    adw_preferences_row_set_use_markup(ADW_PREFERENCES_ROW(row), FALSE);
    gtk_widget_add_css_class(row, "tarn-mono");
    if (version.isCurrent) {
        auto* badge = Gtk::make_managed<Gtk::Label>(_("Current"));
        badge->set_css_classes({"tarn-caption-small", "tarn-current-badge"});
        badge->set_valign(Gtk::Align::CENTER);
        adw_action_row_add_suffix(ADW_ACTION_ROW(row), GTK_WIDGET(badge->gobj()));
    }
    auto* button = Gtk::make_managed<Gtk::Button>(version.isCurrent ? _("Checked Out") : _("Checkout"));
    button->add_css_class("suggested-action");
    button->set_valign(Gtk::Align::CENTER);
    if (version.isCurrent) {
        button->set_sensitive(false);
    } else {
        button->set_action_target_value(Glib::Variant<Glib::ustring>::create(version.name));
        button->set_action_name("win.checkout");
    }
    setAccessibleLabel(*button, (version.isCurrent ? _("Checked out: ") : _("Check out ")) + version.name);
    adw_action_row_add_suffix(ADW_ACTION_ROW(row), GTK_WIDGET(button->gobj()));
    return Glib::wrap(row);
}

}  // namespace

VersionsWindow::VersionsWindow(Gtk::Window& parent, AppViewModel& model, Published<bool>& shown)
    : model_(model), shown_(shown) {
    set_title(_("Versions"));
    makeModal(gobj(), parent.gobj());
    // Its buttons are the main window's actions.
    gtk_widget_insert_action_group(GTK_WIDGET(gobj()), "win", G_ACTION_GROUP(parent.gobj()));
    set_default_size(600, 520);

    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/versions-window.ui");
    list_ = builder->get_widget<Gtk::ListBox>("list");
    history_ = builder->get_widget<Gtk::ListBox>("history");
    nameInnerParts(*builder->get_widget<Gtk::ScrolledWindow>("list-scroller"), _("Versions"));
    nameInnerParts(*builder->get_widget<Gtk::ScrolledWindow>("history-scroller"), _("History"));
    name_ = builder->get_widget<Gtk::Entry>("name");
    create_ = builder->get_widget<Gtk::Button>("create");
    stack_ = GTK_WIDGET(builder->get_object("stack")->gobj());
    set_titlebar(*builder->get_widget<Gtk::HeaderBar>("header"));
    set_child(*builder->get_widget<Gtk::Widget>("stack"));
    set_default_widget(*create_);
    bind::text(*name_, model_.versions().newVersionName);
    const auto days = std::chrono::duration_cast<std::chrono::hours>(CheckpointStore::keptFor).count() / 24;
    builder->get_widget<Gtk::Label>("kept")->set_label(tr::format(
        ngettext("The project as it was before and after every change. Checkpoints older than %1 day are removed.",
                 "The project as it was before and after every change. Checkpoints older than %1 days are removed.",
                 static_cast<unsigned long>(days)),
        {std::to_string(days)}));

    signal_close_request().connect(
        [this] {
            shown_ = false;
            return false;
        },
        false);
    bind::to(*this, shown_, [this](bool show) {
        if (show && !get_visible()) {
            spawn(model_.refreshVersions());
            spawn(model_.history().refresh());
            present();
        } else if (!show && get_visible()) {
            set_visible(false);
        }
    });
    bind::rows(*list_, model_.versions().versions, versionRow);
    bind::rows(*history_, model_.history().checkpoints, checkpointRow);
}

void VersionsWindow::showPage(Page page) {
    adw_view_stack_set_visible_child_name(ADW_VIEW_STACK(stack_), page == Page::history ? "history" : "versions");
}

}  // namespace tarn
