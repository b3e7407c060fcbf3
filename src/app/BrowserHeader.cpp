#include "app/BrowserHeader.h"

#include <giomm/menu.h>
#include <glibmm/main.h>
#include <gtkmm/builder.h>
#include "support/Translate.h"

#include "app/Bind.h"
#include "app/Buttons.h"
#include "app/StylePanel.h"

#include <glib/gi18n-lib.h>

namespace tarn {

std::string BrowserHeader::serverText(const ServerRuntimeState& state) {
    switch (state.kind()) {
        case ServerRuntimeState::Kind::idle: return _("Idle");
        case ServerRuntimeState::Kind::starting: return _("Starting");
        case ServerRuntimeState::Kind::running: return _("Running");
        case ServerRuntimeState::Kind::stopped: return _("Stopped");
        case ServerRuntimeState::Kind::failed: return _("Failed");
        case ServerRuntimeState::Kind::external: return _("External");
    }
    return {};
}

std::string BrowserHeader::deviceName(DeviceWidth width) {
    switch (width) {
        case DeviceWidth::desktop: return _("Desktop");
        case DeviceWidth::tablet: return tr::format(_("Tablet (%1 px)"), {std::to_string(pixelsOf(width))});
        case DeviceWidth::phone: return tr::format(_("Phone (%1 px)"), {std::to_string(pixelsOf(width))});
    }
    return {};
}

std::string BrowserHeader::summaryOf(const InspectTarget& target) {
    return target.componentGuess + "  " + (target.location().empty() ? std::string("unresolved-file") : target.location());
}

BrowserHeader::BrowserHeader(AppViewModel& model)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 8), model_(model), stack_(_("Stack")), server_(_("Server")), route_(_("Route")) {
    append(stack_);
    append(server_);
    append(route_);
    bind::to(*this, model_.project().stackLabel, [this](const std::string& s) { stack_.setValue(s); });
    auto showServer = [this] {
        const ServerRuntimeState& s = *model_.server().serverState;
        const bool explained = s.kind() == ServerRuntimeState::Kind::failed || s.kind() == ServerRuntimeState::Kind::external;
        std::string tip = explained ? s.message() : serverText(s);
        if (s.kind() == ServerRuntimeState::Kind::running && *model_.server().sandboxed) {
            tip = tr::format(_("%1 · Sandboxed: it cannot read your home folder or write outside the project"), {tip});
        }
        server_.setValue(serverText(s), tip);
    };
    bind::pulls(*this, model_.server().serverState, showServer);
    bind::pulls(*this, model_.server().sandboxed, showServer);
    showServer();
    bind::to(*this, model_.browser().routeLabel, [this](const std::string& s) { route_.setValue(s); });

    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/browser-header.ui");
    selection_ = builder->get_widget<Gtk::Box>("selection");
    summary_ = builder->get_widget<Gtk::Label>("summary");
    badge_ = builder->get_widget<Gtk::Label>("badge");
    openSource_ = builder->get_widget<Gtk::Button>("open-source");
    inlineEdit_ = builder->get_widget<Gtk::Button>("inline-edit");
    changeDescription_ = builder->get_widget<Gtk::Button>("change-description");
    style_ = builder->get_widget<Gtk::MenuButton>("style");
    // A panel made afresh for each opening, from the element as the page shows it then.
    style_->set_create_popup_func([this] {
        const auto& target = *model_.selection().selectedInspectTarget;
        if (!target) return;
        auto* panel = Gtk::make_managed<StylePanel>(model_, *target);
        // Dropped once it has closed, unless the header is gone by then (the window closing).
        panel->signal_closed().connect([this] {
            Glib::signal_idle().connect_once(sigc::track_obj([this] { style_->unset_popover(); }, *this));
        });
        style_->set_popover(*panel);
    });
    device_ = builder->get_widget<Gtk::MenuButton>("device");
    deviceIcon_ = builder->get_widget<Gtk::Image>("device-icon");
    deviceLabel_ = builder->get_widget<Gtk::Label>("device-label");
    inspect_ = builder->get_widget<Gtk::ToggleButton>("inspect");
    append(*builder->get_widget<Gtk::Box>("row"));

    // The list and its latest element change one after the other: either shows the pair.
    bind::to(*this, model_.selection().selectedInspectTarget, [this](const auto&) { showSelection(); });
    bind::to(*this, model_.selection().selectedInspectTargets, [this](const auto&) { showSelection(); });

    menuOnDemand(*device_, [] {
        auto devices = Gio::Menu::create();
        for (DeviceWidth width : {DeviceWidth::desktop, DeviceWidth::tablet, DeviceWidth::phone}) {
            auto item = Gio::MenuItem::create(deviceName(width), "");
            item->set_action_and_target("win.device-width", Glib::Variant<Glib::ustring>::create(std::string(nameOf(width))));
            devices->append_item(item);
        }
        return devices;
    });
    bind::to(*this, model_.browser().deviceWidth, [this](DeviceWidth width) {
        deviceIcon_->set_from_icon_name(width == DeviceWidth::phone    ? "phone-symbolic"
                                       : width == DeviceWidth::tablet ? "tablet-symbolic"
                                                                      : "computer-symbolic");
        deviceLabel_->set_text(std::to_string(pixelsOf(width)) + " px");
        deviceLabel_->set_visible(width != DeviceWidth::desktop);
        const std::string help = tr::format(_("Page width: %1"), {deviceName(width)});
        device_->set_tooltip_text(help);
        setAccessibleLabel(*device_, help);
    });
}

void BrowserHeader::showSelection() {
    const auto& target = *model_.selection().selectedInspectTarget;
    const bool any = target.has_value();
    selection_->set_visible(any);
    changeDescription_->set_visible(any);
    const std::size_t count = model_.selection().selectedInspectTargets->size();
    badge_->set_visible(any && count >= 2);
    badge_->set_text("+" + std::to_string(count > 0 ? count - 1 : 0));
    inlineEdit_->set_visible(any && !target->textSnippet.empty());
    style_->set_visible(any && !target->computedStyle.empty());
    openSource_->set_visible(any && !target->fileGuess.empty());
    if (any) {
        summary_->set_text(summaryOf(*target));
        summary_->set_tooltip_text(summaryOf(*target));
        openSource_->set_action_target_value(Glib::Variant<Glib::ustring>::create(target->selectionKey));
        openSource_->set_tooltip_text(tr::format(_("Open in Editor (%1)"), {target->location()}));
    }
}

}  // namespace tarn
