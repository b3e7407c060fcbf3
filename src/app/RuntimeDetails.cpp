#include "app/RuntimeDetails.h"

#include "app/Accessibility.h"
#include "app/Bind.h"
#include "app/Buttons.h"

#include <adwaita.h>
#include <giomm/menu.h>
#include <glib/gi18n-lib.h>

namespace tarn {

const std::vector<RuntimeDetails::Preset>& RuntimeDetails::presets() {
    static const std::vector<Preset> list{
        {N_("Plan onboarding flow"), "Plan a 3-step onboarding flow after signup. Do not implement yet.", true},
        {N_("Implement onboarding flow"), "Implement a 3-step onboarding flow after signup with reusable components.", false},
        {N_("Polish selected screen"),
         "Refine spacing, typography, and component hierarchy on the current screen using existing design tokens.", false},
    };
    return list;
}

GtkWidget* RuntimeDetails::detailRow(const char* title) {
    GtkWidget* row = adw_action_row_new();
    adw_preferences_row_set_use_markup(ADW_PREFERENCES_ROW(row), FALSE);
    adw_preferences_row_set_title(ADW_PREFERENCES_ROW(row), title);
    adw_action_row_set_subtitle_lines(ADW_ACTION_ROW(row), 2);
    gtk_widget_add_css_class(row, "property");
    adw_expander_row_add_row(ADW_EXPANDER_ROW(expander_), row);
    return row;
}

RuntimeDetails::RuntimeDetails(AppViewModel& model)
    : Gtk::Box(Gtk::Orientation::VERTICAL), model_(model), expander_(adw_expander_row_new()) {
    add_css_class("tarn-agent-details");
    list_.add_css_class("boxed-list");
    setAccessibleLabel(list_, _("Runtime & Agent Details"));
    list_.set_selection_mode(Gtk::SelectionMode::NONE);
    adw_preferences_row_set_use_markup(ADW_PREFERENCES_ROW(expander_), FALSE);
    adw_preferences_row_set_title(ADW_PREFERENCES_ROW(expander_), _("Runtime & Agent Details"));
    adw_expander_row_set_expanded(ADW_EXPANDER_ROW(expander_), FALSE);
    gtk_list_box_append(list_.gobj(), expander_);
    append(list_);

    status_ = detailRow(_("Agent Runtime"));
    install_ = detailRow(_("install"));
    dev_ = detailRow(_("dev"));
    instructions_ = detailRow(_("Instructions"));
    // What the agent tools print for themselves: their own reasons, never mixed into the server's log.
    agentLog_ = detailRow(_("Agent Log"));
    adw_action_row_set_subtitle_lines(ADW_ACTION_ROW(agentLog_), 6);

    auto* actions = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    actions->set_margin(8);
    labelledButton(refresh_, _("Refresh Commands"), "win.refresh-startup",
                   _("Ask the agent tool (or the local rules) for the install and dev commands again"));
    menuOnDemand(presets_, [] {
        auto menu = Gio::Menu::create();
        for (std::size_t i = 0; i < presets().size(); ++i) {
            menu->append(_(presets()[i].title), "win.apply-preset(" + std::to_string(i) + ")");
        }
        return menu;
    });
    presets_.set_label(_("Presets"));
    presets_.add_css_class("flat");
    setAccessibleLabel(presets_, _("Agent Presets"));
    presets_.set_tooltip_text(_("Fill the prompt with a ready-made request"));
    actions->append(refresh_);
    actions->append(presets_);
    adw_expander_row_add_row(ADW_EXPANDER_ROW(expander_), GTK_WIDGET(actions->gobj()));
    nameInnerParts(*Glib::wrap(expander_), _("Details"));
    nameInnerParts(presets_, _("Presets"));

    auto subtitle = [](GtkWidget* row, const std::string& text) {
        adw_action_row_set_subtitle(ADW_ACTION_ROW(row), text.c_str());
    };
    bind::to(*this, model_.runtimes().agentStatusLabel, [this, subtitle](const std::string& s) { subtitle(status_, s); });
    bind::to(*this, model_.project().installCommandLabel, [this, subtitle](const std::string& s) { subtitle(install_, s); });
    bind::to(*this, model_.project().devCommandLabel, [this, subtitle](const std::string& s) { subtitle(dev_, s); });
    bind::to(*this, model_.runtimes().agentLog, [this, subtitle](const RollingList<std::string>& log) {
        std::string tail;
        for (std::size_t i = log.size() > 6 ? log.size() - 6 : 0; i < log.size(); ++i) tail += (tail.empty() ? "" : "\n") + log[i];
        subtitle(agentLog_, tail.empty() ? std::string(_("Nothing yet")) : tail);
        gtk_widget_set_tooltip_text(agentLog_, tail.empty() ? nullptr : tail.c_str());
    });
    bind::to(*this, model_.project().instructionsPathLabel, [this, subtitle](const std::string& s) { subtitle(instructions_, s); });
}

}  // namespace tarn
