#include "app/TopBar.h"

#include "app/Bind.h"
#include "app/BrowserHeader.h"
#include "app/Icons.h"

#include <giomm/menu.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>

namespace tarn {

bool TopBar::showsStop(const ServerRuntimeState& state) {
    return state.kind() == ServerRuntimeState::Case::running || state.kind() == ServerRuntimeState::Case::starting;
}

TopBar::TopBar(AppViewModel& model) : Gtk::Box(Gtk::Orientation::HORIZONTAL, 8), address_(model) {
    add_css_class("tarn-bar");
    open_.add_css_class("suggested-action");
    open_.set_action_name("win.open-project");
    open_.set_tooltip_text("Open a project folder (Ctrl+O)");
    append(open_);

    start_.add_css_class("suggested-action");
    start_.set_action_name("win.start-server");
    makeIconButton(stop_, "stop.fill", "Stop Server", "win.stop-server");
    serverControl_.add(start_, "start");
    serverControl_.add(stop_, "stop");
    serverControl_.set_hhomogeneous(false);
    serverControl_.set_valign(Gtk::Align::CENTER);
    append(serverControl_);
    bind::to(*this, model.serverState, [this](const ServerRuntimeState& state) {
        serverControl_.set_visible_child(showsStop(state) ? "stop" : "start");
    });

    auto* versionsContent = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
    auto* versionsIcon = Gtk::make_managed<Gtk::Image>();
    versionsIcon->set_from_icon_name(icons::named("square.stack.3d.up"));
    versionsContent->append(*versionsIcon);
    versionsContent->append(*Gtk::make_managed<Gtk::Label>("Versions"));
    versions_.set_child(*versionsContent);
    versions_.set_action_name("win.show-versions");
    versions_.set_tooltip_text("Versions of the project (git branches)");
    append(versions_);

    append(address_);
    go_.add_css_class("suggested-action");
    go_.set_valign(Gtk::Align::CENTER);
    go_.signal_clicked().connect([&model] { model.loadBrowserAddress(); });
    append(go_);
    makeIconButton(reload_, "arrow.clockwise", "Reload (Ctrl+R)", "win.reload-preview");
    append(reload_);
    for (auto* button : {&open_, &versions_, &reload_}) button->set_valign(Gtk::Align::CENTER);

    auto menu = Gio::Menu::create();
    menu->append("Keyboard Shortcuts", "win.show-help-overlay");
    menu->append("About Tarn", "app.about");
    menu->append("Quit", "app.quit");
    menu_.set_menu_model(menu);
    menu_.set_icon_name(icons::named("line.3.horizontal"));
    menu_.set_tooltip_text("Main Menu");
    setAccessibleLabel(menu_, "Main Menu");
    menu_.set_valign(Gtk::Align::CENTER);
    append(menu_);
}

}  // namespace tarn
