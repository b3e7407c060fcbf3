#include "app/Composer.h"

#include "app/Bind.h"
#include "app/Icons.h"
#include "app/SelectedTargetPillView.h"
#include "support/Text.h"

#include <glibmm/main.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/image.h>

namespace tarn {

bool Composer::canSend(const std::string& draft) { return !text::trim(draft).empty(); }

Composer::Composer(AppViewModel& model)
    : Glib::ObjectBase("TarnComposer"), model_(model), pulse_(*this, 0.0, [this](double level) { showPulse(level); }) {
    set_size_request(-1, 130);
    set_vexpand(false);
    showPulse(0);
    setChild(overlay_);

    editor_.set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
    editor_.add_css_class("tarn-body-rounded");
    editor_.set_accepts_tab(false);
    setAccessibleLabel(editor_, "Prompt");
    editorScroller_.set_child(editor_);
    editorScroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    editorScroller_.set_margin_start(10);
    editorScroller_.set_margin_end(10);
    editorScroller_.set_margin_top(10);
    editorScroller_.set_margin_bottom(46);
    overlay_.add_css_class("tarn-composer-content");
    overlay_.set_child(editorScroller_);
    bind::text(editor_, editor_.get_buffer(), model_.draftPrompt);
    // Escape stops a running request, as the Stop button does.
    auto keys = Gtk::EventControllerKey::create();
    keys->signal_key_pressed().connect(
        [this](guint key, guint, Gdk::ModifierType) {
            if (key != GDK_KEY_Escape || !*model_.isSending) return false;
            model_.cancelAgentRequest();
            return true;
        },
        false);
    editor_.add_controller(keys);

    pillsScroller_.set_policy(Gtk::PolicyType::EXTERNAL, Gtk::PolicyType::NEVER);
    pillsScroller_.set_child(pills_);
    pillsScroller_.set_size_request(-1, 28);
    pillsScroller_.set_margin_start(10);
    pillsScroller_.set_margin_end(10);
    pillsScroller_.set_margin_top(8);
    pills_.set_margin_end(6);
    pillsRevealer_.setChild(pillsScroller_);
    pillsRevealer_.set_valign(Gtk::Align::START);
    overlay_.add_overlay(pillsRevealer_);

    bar_.set_valign(Gtk::Align::END);
    bar_.set_margin_start(12);
    bar_.set_margin_end(12);
    bar_.set_margin_top(10);
    bar_.set_margin_bottom(10);
    buildFeature_.add_css_class("tarn-build-feature");
    buildFeature_.set_valign(Gtk::Align::CENTER);
    buildFeature_.signal_clicked().connect(
        [this] { model_.draftPrompt = "Add a 3-step onboarding flow after sign-up and route users to /onboarding."; });
    bar_.append(buildFeature_);
    bind::to(*this, model_.planModeEnabled, [this](bool on) { buildFeature_.set_visible(on); });

    modelText_.add_css_class("caption");
    modelText_.add_css_class("tarn-secondary");
    modelMenu_.add_css_class("flat");
    modelMenu_.set_popover(runtimePopover_);
    runtimeList_.set_margin(4);
    runtimePopover_.set_child(runtimeList_);
    picker_.add(modelText_, "text");
    picker_.add(modelMenu_, "menu");
    picker_.set_valign(Gtk::Align::CENTER);
    bar_.append(picker_);
    bind::to(*this, model_.modelLabel, [this](const std::string& label) {
        modelText_.set_text(label);
        auto* text = Gtk::make_managed<Gtk::Label>(label);
        text->add_css_class("caption");
        text->add_css_class("tarn-secondary");
        modelMenu_.set_child(*text);
        modelMenu_.set_tooltip_text("Agent runtime: " + label);
    });
    bind::to(*this, model_.availableAgentRuntimes, [this](const auto&) { showRuntimes(); });
    bind::to(*this, model_.selectedAgentRuntime, [this](const auto&) { showRuntimes(); });

    auto* spacer = Gtk::make_managed<Gtk::Box>();
    spacer->set_hexpand(true);
    bar_.append(*spacer);
    send_.add_css_class("tarn-send");
    send_.set_valign(Gtk::Align::CENTER);
    send_.set_halign(Gtk::Align::END);
    send_.signal_clicked().connect([this] {
        if (stopMode_) {
            model_.cancelAgentRequest();
        } else if (canSend(*model_.draftPrompt)) {
            spawn(model_.sendPrompt());
        }
    });
    bar_.append(send_);
    overlay_.add_overlay(bar_);
    bind::to(*this, model_.draftPrompt, [this](const auto&) { showSendButton(); });
    bind::to(*this, model_.isSending, [this](const auto&) { showSendButton(); });
    bind::styleWhile(send_, model_.isSending, "tarn-stop");

    bind::to(*this, model_.selectedInspectTargets, [this](const auto&) { showPills(); });
}

void Composer::showPills() {
    const auto& targets = *model_.selectedInspectTargets;
    while (auto* child = pills_.get_first_child()) pills_.remove(*child);
    for (const auto& target : targets) {
        std::string key = target.selectionKey;
        AppViewModel* model = &model_;
        pills_.append(*Gtk::make_managed<SelectedTargetPillView>(target, false, false, true,
                                                                 [model, key] { model->removeSelectedTarget(key); }));
    }
    const bool any = !targets.empty();
    pillsRevealer_.setRevealed(any, motion::selectionCount);
    editorScroller_.set_margin_top(any ? 48 : 10);
    setRingActive(any);
}

void Composer::showSendButton() {
    const bool stop = *model_.isSending;
    send_.set_sensitive(stop || canSend(*model_.draftPrompt));
    if (send_.get_child() && stop == stopMode_) return;
    stopMode_ = stop;
    auto* icon = Gtk::make_managed<Gtk::Image>();
    icon->set_from_icon_name(icons::named(stopMode_ ? "stop" : "arrow.up"));
    icon->set_pixel_size(14);
    send_.set_child(*icon);
    const char* label = stopMode_ ? "Stop request" : "Send";
    send_.set_tooltip_text(label);
    setAccessibleLabel(send_, label);
}

void Composer::showRuntimes() {
    const auto& available = *model_.availableAgentRuntimes;
    picker_.set_visible_child(available.size() < 2 ? "text" : "menu");
    while (auto* child = runtimeList_.get_first_child()) runtimeList_.remove(*child);
    for (AgentRuntime runtime : available) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
        auto* name = Gtk::make_managed<Gtk::Label>(displayName(runtime));
        name->set_xalign(0);
        name->set_hexpand(true);
        auto* check = Gtk::make_managed<Gtk::Image>();
        check->set_from_icon_name(icons::named("checkmark"));
        check->set_opacity(runtime == *model_.selectedAgentRuntime ? 1 : 0);
        row->append(*name);
        row->append(*check);
        auto* choice = Gtk::make_managed<Gtk::Button>();
        choice->add_css_class("flat");
        choice->set_child(*row);
        choice->set_name(id(runtime));
        choice->signal_clicked().connect([this, runtime] {
            runtimePopover_.popdown();
            model_.selectAgentRuntime(runtime);
        });
        runtimeList_.append(*choice);
    }
}

std::vector<Gtk::Button*> Composer::runtimeChoices() {
    std::vector<Gtk::Button*> out;
    for (auto* child = runtimeList_.get_first_child(); child; child = child->get_next_sibling()) {
        out.push_back(static_cast<Gtk::Button*>(child));
    }
    return out;
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
    style.fill = glow::rgba(1, 1, 1, 0.96);
    style.outline = glow::rgba(0, 0, 0, 0.06);
    style.outlineWidth = 1;
    const double p = std::clamp(level, 0.0, 1.0);
    // The shadow goes from black 12 % (radius 10, 4 down) to cyan 18 % (radius 14, 6 down).
    const Gdk::RGBA cyan = glow::cyan(1);
    style.shadow = glow::rgba(cyan.get_red() * p, cyan.get_green() * p, cyan.get_blue() * p, 0.12 + 0.06 * p);
    style.shadowRadius = 10 + 4 * p;
    style.shadowOffsetY = 4 + 2 * p;
    style.ring = {glow::cyan(0.18), glow::blue(0.68), glow::cyan(0.20), glow::blue(0.14)};
    style.ringWidth = 1.2 + 0.6 * p;
    setStyle(style);
    setScale(1.0 + 0.008 * level);
}

}  // namespace tarn
