#include "app/HeaderBar.h"

#include "app/Bind.h"
#include "app/Buttons.h"

#include <giomm/menumodel.h>
#include <gtkmm/builder.h>
#include <glib/gi18n-lib.h>

namespace tarn {

bool HeaderBar::showsStop(const ServerRuntimeState& state) {
    using Kind = ServerRuntimeState::Kind;
    return state.kind() == Kind::running || state.kind() == Kind::starting || state.kind() == Kind::external;
}

HeaderBar::HeaderBar(AppViewModel& model) : address_(model) {
    add_css_class("tarn-headerbar");
    labelledButton(open_, _("Open Project"), "win.open-project", _("Open a project folder (Ctrl+O)"));
    open_.add_css_class("suggested-action");
    pack_start(open_);

    labelledButton(start_, _("Start Server"), "win.start-server", _("Install what is missing and start the dev server"));
    start_.add_css_class("suggested-action");
    makeIconButton(stop_, "media-playback-stop-symbolic", _("Stop Server"), "win.stop-server");
    // Pages carry titles: a screen reader names a page by it, or else by its class.
    serverControl_.add(start_, "start", _("Start Server"));
    serverControl_.add(stop_, "stop", _("Stop Server"));
    serverControl_.set_hhomogeneous(false);
    pack_start(serverControl_);
    bind::to(*this, model.server().serverState, [this](const ServerRuntimeState& state) {
        serverControl_.set_visible_child(showsStop(state) ? "stop" : "start");
        // A server started outside Tarn is left running: the control lets go of it.
        const bool external = state.kind() == ServerRuntimeState::Kind::external;
        const std::string help = external ? _("Detach from the External Server (it keeps running)") : _("Stop Server");
        stop_.set_icon_name(external ? "media-eject-symbolic" : "media-playback-stop-symbolic");
        stop_.set_tooltip_text(help);
        setAccessibleLabel(stop_, help);
    });

    iconAndLabelButton(versions_, "view-paged-symbolic", _("Versions"), "win.show-versions",
                       _("Versions of the project (git branches)"));
    pack_start(versions_);

    set_title_widget(address_);

    // From the right edge inward.
    menu_.set_icon_name("open-menu-symbolic");
    menu_.set_tooltip_text(_("Main Menu"));
    setAccessibleLabel(menu_, _("Main Menu"));
    menu_.set_primary(true);
    menuOnDemand(menu_, [] {
        return Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/main-menu.ui")->get_object<Gio::MenuModel>("main-menu");
    });
    pack_end(menu_);

    makeIconToggle(agent_, "sidebar-show-right-symbolic", _("Agent Column (Ctrl+Shift+A)"), "win.show-agent");
    pack_end(agent_);
    makeIconToggle(collapse_, "view-restore-symbolic", _("Collapse Browser"), "win.expanded");
    pack_end(collapse_);
    makeIconToggle(inspect_, "tarn-pointer-symbolic", _("Inspect"), "win.inspect");
    pack_end(inspect_);
    makeIconButton(copy_, "edit-copy-symbolic", _("Copy Console"), "win.copy-logs");
    pack_end(copy_);
    makeIconButton(reload_, "view-refresh-symbolic", _("Reload (Ctrl+R)"), "win.reload-preview");
    pack_end(reload_);
    labelledButton(go_, _("Go"), "win.load-address", _("Load the address"));
    go_.add_css_class("suggested-action");
    pack_end(go_);

    bind::to(*this, model.browser().isBrowserExpanded, [this](bool expanded) { showExpanded(expanded); });
}

void HeaderBar::showExpanded(bool expanded) {
    for (Gtk::Widget* full : std::initializer_list<Gtk::Widget*>{&open_, &serverControl_, &versions_, &go_, &agent_}) {
        full->set_visible(!expanded);
    }
    for (Gtk::Widget* compact : std::initializer_list<Gtk::Widget*>{&copy_, &inspect_, &collapse_}) {
        compact->set_visible(expanded);
    }
}

}  // namespace tarn
