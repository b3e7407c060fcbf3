#include "app/Composer.h"

#include "app/Bind.h"
#include "app/Buttons.h"
#include "app/SelectedTargetPillView.h"
#include "support/Text.h"

#include <giomm/menu.h>
#include <glib/gi18n-lib.h>
#include <glibmm/main.h>
#include <gtkmm/builder.h>
#include <gtkmm/overlay.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/image.h>

namespace tarn {

bool Composer::canSend(const std::string& draft) { return !text::trim(draft).empty(); }

Composer::Composer(AppViewModel& model)
    : Glib::ObjectBase("TarnComposer"), model_(model), pulse_(*this, 0.0, [this](double level) { showPulse(level); }) {
    set_size_request(-1, 130);
    set_vexpand(false);
    showPulse(0);
    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/composer.ui");
    editorScroller_ = builder->get_widget<Gtk::ScrolledWindow>("editor-scroller");
    editor_ = builder->get_widget<Gtk::TextView>("editor");
    pillsRevealer_ = builder->get_widget<Gtk::Revealer>("pills-revealer");
    pills_ = builder->get_widget<Gtk::Box>("pills");
    buildFeature_ = builder->get_widget<Gtk::Button>("build-feature");
    picker_ = builder->get_widget<Gtk::Stack>("picker");
    modelText_ = builder->get_widget<Gtk::Label>("model-text");
    modelMenu_ = builder->get_widget<Gtk::MenuButton>("model-menu");
    send_ = builder->get_widget<Gtk::Button>("send");
    setChild(*builder->get_widget<Gtk::Overlay>("overlay"));
    bind::text(*editor_, editor_->get_buffer(), model_.requests().draftPrompt);
    // Escape stops a running request, as the Stop button does.
    auto keys = Gtk::EventControllerKey::create();
    keys->signal_key_pressed().connect(
        [this](guint key, guint, Gdk::ModifierType) {
            if (key != GDK_KEY_Escape || !*model_.requests().isSending) return false;
            editor_->activate_action("win.stop-request");
            return true;
        },
        false);
    editor_->add_controller(keys);

    bind::to(*this, model_.requests().planModeEnabled, [this](bool on) { buildFeature_->set_visible(on); });

    bind::to(*this, model_.runtimes().modelLabel, [this](const std::string& label) {
        modelText_->set_text(label);
        modelMenu_->set_label(label);
        setAccessibleLabel(*modelMenu_, std::string(_("Agent runtime: ")) + label);
    });
    bind::to(*this, model_.runtimes().availableAgentRuntimes, [this](const auto&) { showRuntimes(); });

    bind::to(*this, model_.requests().isSending, [this](const auto&) { showSendButton(); });

    bind::to(*this, model_.selection().selectedInspectTargets, [this](const auto&) { showPills(); });
}

void Composer::showPills() {
    const auto& targets = *model_.selection().selectedInspectTargets;
    while (auto* child = pills_->get_first_child()) pills_->remove(*child);
    for (const auto& target : targets) pills_->append(*Gtk::make_managed<SelectedTargetPillView>(target, false, false, true));
    const bool any = !targets.empty();
    pillsRevealer_->set_reveal_child(any);
    editorScroller_->set_margin_top(any ? 48 : 10);
    setRingActive(any);
}

void Composer::showSendButton() {
    // Send while idle (enabled by its action when there is something to send), Stop while a request runs.
    const bool stop = *model_.requests().isSending;
    if (send_->get_child() && stop == stopMode_) return;
    stopMode_ = stop;
    auto* icon = Gtk::make_managed<Gtk::Image>();
    icon->set_from_icon_name(stopMode_ ? "media-playback-stop-symbolic" : "tarn-arrow-up-symbolic");
    icon->set_pixel_size(14);
    send_->set_child(*icon);
    send_->set_action_name(stopMode_ ? "win.stop-request" : "win.send-prompt");
    const char* label = stopMode_ ? _("Stop request") : _("Send");
    send_->set_tooltip_text(label);
    setAccessibleLabel(*send_, label);
}

void Composer::showRuntimes() {
    const auto& available = *model_.runtimes().availableAgentRuntimes;
    picker_->set_visible_child(available.size() < 2 ? "text" : "menu");
    // A radio item per runtime, on the window's stateful action: the mark follows the choice.
    auto menu = Gio::Menu::create();
    for (AgentRuntime runtime : available) {
        auto item = Gio::MenuItem::create(displayName(runtime), "");
        item->set_action_and_target("win.agent-runtime", Glib::Variant<Glib::ustring>::create(id(runtime)));
        menu->append_item(item);
    }
    modelMenu_->set_menu_model(menu);
}

void Composer::pulse() {
    // Up on a spring, then 0.36 s later back down over 0.24 s.
    ++pulsesStarted_;
    pulse_.springTo(1.0, motion::selectionPulse);
    Glib::signal_timeout().connect_once(sigc::track_obj([this] { pulse_.easeTo(0.0, std::chrono::milliseconds(240), ADW_EASE_OUT_CUBIC); }, *this), 360);
}

void Composer::showPulse(double level) {
    GlowFrame::Style style;
    style.radius = 18;
    style.fill = {"tarn_composer_bg", 0.96};
    style.outline = {"tarn_composer_outline"};
    style.outlineWidth = 1;
    const double p = std::clamp(level, 0.0, 1.0);
    // The shadow turns from the card's own (radius 10, 4 down) into the glow (radius 14, 6 down).
    style.shadows = {{{"tarn_composer_shadow", 1 - p}, 10, 4}, {{"tarn_glow_1", 0.18 * p}, 14, 6}};
    style.ring = {{"tarn_glow_1", 0.18}, {"tarn_glow_2", 0.68}, {"tarn_glow_1", 0.20}, {"tarn_glow_2", 0.14}};
    style.ringWidth = 1.2 + 0.6 * p;
    setStyle(style);
    setScale(1.0 + 0.008 * level);
}

}  // namespace tarn
