#include "app/RuntimeDetails.h"

#include "app/Bind.h"

#include <giomm/menu.h>

namespace tarn {

const std::vector<RuntimeDetails::Preset>& RuntimeDetails::presets() {
    static const std::vector<Preset> list{
        {"Plan onboarding flow", "Plan a 3-step onboarding flow after signup. Do not implement yet.", true},
        {"Implement onboarding flow", "Implement a 3-step onboarding flow after signup with reusable components.", false},
        {"Polish selected screen",
         "Refine spacing, typography, and component hierarchy on the current screen using existing design tokens.", false},
    };
    return list;
}

RuntimeDetails::RuntimeDetails(AppViewModel& model) : Gtk::Box(Gtk::Orientation::VERTICAL), model_(model) {
    add_css_class("tarn-agent-details");
    auto* label = Gtk::make_managed<Gtk::Label>("Runtime & Agent Details");
    label->add_css_class("caption");
    label->add_css_class("tarn-semibold");
    label->add_css_class("tarn-secondary");
    expander_.set_label_widget(*label);
    expander_.set_expanded(false);  // starts collapsed and keeps whatever the user chose
    append(expander_);

    card_.add_css_class("tarn-details-card");
    card_.set_margin_top(6);
    auto caption = [](Gtk::Label& l, std::initializer_list<const char*> classes) {
        for (const char* c : classes) l.add_css_class(c);
        l.set_xalign(0);
    };
    auto* heading = Gtk::make_managed<Gtk::Label>("Agent Runtime");
    caption(*heading, {"caption", "tarn-semibold", "tarn-secondary"});
    caption(status_, {"caption", "tarn-mono"});
    status_.set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    caption(install_, {"caption", "tarn-mono"});
    caption(dev_, {"caption", "tarn-mono"});
    for (auto* l : {&install_, &dev_}) {
        l->set_wrap(true);
        l->set_wrap_mode(Pango::WrapMode::CHAR);
    }
    caption(instructions_, {"tarn-caption2", "tarn-mono", "tarn-secondary"});
    instructions_.set_ellipsize(Pango::EllipsizeMode::START);
    instructions_.set_selectable(true);
    card_.append(*heading);
    card_.append(status_);
    card_.append(install_);
    card_.append(dev_);
    card_.append(instructions_);

    auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    row->set_margin_top(4);
    refresh_.add_css_class("caption");
    refresh_.signal_clicked().connect([this] { spawn(model_.planStartupCommands()); });
    auto menu = Gio::Menu::create();
    for (std::size_t i = 0; i < presets().size(); ++i) {
        menu->append(presets()[i].title, "win.apply-preset(" + std::to_string(i) + ")");
    }
    presets_.set_menu_model(menu);
    presets_.set_label("Agent Presets");
    presets_.add_css_class("flat");
    presets_.add_css_class("caption");
    row->append(refresh_);
    row->append(presets_);
    card_.append(*row);
    expander_.set_child(card_);

    bind::to(*this, model_.agentStatusLabel, [this](const std::string& s) {
        status_.set_text(s);
        status_.set_tooltip_text(s);
    });
    bind::to(*this, model_.installCommandLabel, [this](const std::string& s) { install_.set_text("install: " + s); });
    bind::to(*this, model_.devCommandLabel, [this](const std::string& s) { dev_.set_text("dev: " + s); });
    bind::to(*this, model_.instructionsPathLabel, [this](const std::string& s) {
        instructions_.set_text(s);
        instructions_.set_tooltip_text(s);
    });
}

}  // namespace tarn
