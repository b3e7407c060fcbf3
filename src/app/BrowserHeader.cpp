#include "app/BrowserHeader.h"

#include <giomm/menu.h>
#include "support/Translate.h"

#include "app/Bind.h"
#include "app/Buttons.h"

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
    bind::to(*this, model_.server().serverState, [this](const ServerRuntimeState& s) {
        server_.setValue(serverText(s));
        const bool explained = s.kind() == ServerRuntimeState::Kind::failed || s.kind() == ServerRuntimeState::Kind::external;
        server_.set_tooltip_text(explained ? s.message() : serverText(s));
    });
    bind::to(*this, model_.browser().routeLabel, [this](const std::string& s) { route_.setValue(s); });

    selection_.add_css_class("tarn-selection-block");
    selection_.set_valign(Gtk::Align::CENTER);
    auto* inspectTitle = Gtk::make_managed<Gtk::Label>(_("Inspect"));
    inspectTitle->add_css_class("tarn-caption-small");
    inspectTitle->add_css_class("dim-label");
    inspectTitle->set_xalign(0);
    summary_.add_css_class("caption");
    summary_.add_css_class("tarn-mono");
    summary_.set_xalign(0);
    summary_.set_single_line_mode(true);
    summary_.set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    summary_.set_max_width_chars(26);
    selection_.append(*inspectTitle);
    selection_.append(summary_);
    append(selection_);
    // The action takes the element's key: a target is set before the action is named.
    openSource_.set_action_target_value(Glib::Variant<Glib::ustring>::create(""));
    makeIconButton(openSource_, "document-edit-symbolic", _("Open in Editor"), "win.open-in-editor");
    openSource_.add_css_class("tarn-header-button");
    openSource_.set_valign(Gtk::Align::CENTER);
    append(openSource_);
    badge_.add_css_class("tarn-caption-small");
    badge_.add_css_class("tarn-count-badge");
    badge_.set_valign(Gtk::Align::CENTER);
    append(badge_);
    labelledButton(inlineEdit_, _("Inline Edit"), "win.inline-edit", _("Edit the selected element's text in place"));
    labelledButton(changeDescription_, _("Change Description"), "win.change-description",
                   _("Describe a change to the selected elements"));
    for (auto* button : {&inlineEdit_, &changeDescription_}) {
        button->set_valign(Gtk::Align::CENTER);
        append(*button);
    }
    // The list and its latest element change one after the other: either shows the pair.
    bind::to(*this, model_.selection().selectedInspectTarget, [this](const auto&) { showSelection(); });
    bind::to(*this, model_.selection().selectedInspectTargets, [this](const auto&) { showSelection(); });

    auto* spacer = Gtk::make_managed<Gtk::Box>();
    spacer->set_hexpand(true);
    append(*spacer);
    // The width the page is laid out at: its icon says which, and a tablet's or phone's its pixels.
    menuOnDemand(device_, [] {
        auto devices = Gio::Menu::create();
        for (DeviceWidth width : {DeviceWidth::desktop, DeviceWidth::tablet, DeviceWidth::phone}) {
            auto item = Gio::MenuItem::create(deviceName(width), "");
            item->set_action_and_target("win.device-width", Glib::Variant<Glib::ustring>::create(std::string(nameOf(width))));
            devices->append_item(item);
        }
        return devices;
    });
    device_.add_css_class("tarn-header-button");
    device_.set_valign(Gtk::Align::CENTER);
    auto* shown = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 4);
    shown->append(deviceIcon_);
    deviceLabel_.add_css_class("caption");
    shown->append(deviceLabel_);
    device_.set_child(*shown);
    bind::to(*this, model_.browser().deviceWidth, [this](DeviceWidth width) {
        deviceIcon_.set_from_icon_name(width == DeviceWidth::phone    ? "phone-symbolic"
                                       : width == DeviceWidth::tablet ? "tablet-symbolic"
                                                                      : "computer-symbolic");
        deviceLabel_.set_text(std::to_string(pixelsOf(width)) + " px");
        deviceLabel_.set_visible(width != DeviceWidth::desktop);
        const std::string help = tr::format(_("Page width: %1"), {deviceName(width)});
        device_.set_tooltip_text(help);
        setAccessibleLabel(device_, help);
    });
    append(device_);

    makeIconToggle(inspect_, "tarn-pointer-symbolic", _("Inspect"), "win.inspect");
    makeIconButton(copy_, "edit-copy-symbolic", _("Copy Console"), "win.copy-logs");
    makeIconToggle(expand_, "view-fullscreen-symbolic", _("Expand Browser"), "win.expanded");
    for (Gtk::Button* button : std::initializer_list<Gtk::Button*>{&inspect_, &copy_, &expand_}) {
        button->add_css_class("tarn-header-button");
        button->set_valign(Gtk::Align::CENTER);
        append(*button);
    }
}

void BrowserHeader::showSelection() {
    const auto& target = *model_.selection().selectedInspectTarget;
    const bool any = target.has_value();
    selection_.set_visible(any);
    changeDescription_.set_visible(any);
    const std::size_t count = model_.selection().selectedInspectTargets->size();
    badge_.set_visible(any && count >= 2);
    badge_.set_text("+" + std::to_string(count > 0 ? count - 1 : 0));
    inlineEdit_.set_visible(any && !target->textSnippet.empty());
    openSource_.set_visible(any && !target->fileGuess.empty());
    if (any) {
        summary_.set_text(summaryOf(*target));
        summary_.set_tooltip_text(summaryOf(*target));
        openSource_.set_action_target_value(Glib::Variant<Glib::ustring>::create(target->selectionKey));
        openSource_.set_tooltip_text(tr::format(_("Open in Editor (%1)"), {target->location()}));
    }
}

}  // namespace tarn
