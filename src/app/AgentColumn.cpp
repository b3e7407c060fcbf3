#include "app/AgentColumn.h"

#include "app/Bind.h"
#include "app/Icons.h"

#include <algorithm>
#include <gtkmm/separator.h>

namespace tarn {

AgentColumn::AgentColumn(AppViewModel& model)
    : Glib::ObjectBase("TarnAgentColumn"), model_(model), details_(model), transcript_(model.messages), composer_(model) {
    set_hexpand(false);
    set_vexpand(true);
    box_.add_css_class("tarn-agent-card");
    box_.set_parent(*this);
    auto append = [this](Gtk::Widget& w) { box_.append(w); };

    auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    header->add_css_class("tarn-agent-header");
    auto* title = Gtk::make_managed<Gtk::Label>("Agent");
    title->add_css_class("heading");
    title->set_xalign(0);
    title->set_hexpand(true);
    auto* toggle = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    toggle->set_size_request(150, -1);
    toggle->set_halign(Gtk::Align::END);
    auto* toggleLabel = Gtk::make_managed<Gtk::Label>("Plan Mode");
    toggleLabel->set_hexpand(true);
    toggleLabel->set_xalign(1);
    planMode_.set_valign(Gtk::Align::CENTER);
    setAccessibleLabel(planMode_, "Plan Mode");
    planMode_.set_tooltip_text("Ask for a plan only; nothing is edited");
    toggle->append(*toggleLabel);
    toggle->append(planMode_);
    header->append(*title);
    header->append(*toggle);
    append(*header);
    bind::to(*this, model_.planModeEnabled, [this](bool on) {
        if (planMode_.get_active() != on) planMode_.set_active(on);
    });
    planMode_.property_active().signal_changed().connect([this] {
        if (*model_.planModeEnabled != planMode_.get_active()) model_.planModeEnabled = planMode_.get_active();
    });

    append(*Gtk::make_managed<Gtk::Separator>());
    append(details_);
    append(*Gtk::make_managed<Gtk::Separator>());
    append(transcript_);

    touched_.set_margin_start(12);
    touched_.set_margin_end(12);
    touched_.set_margin_bottom(8);
    append(touched_);
    bind::to(*this, model_.touchedFiles, [this](const std::vector<std::string>& files) {
        while (auto* child = touched_.get_first_child()) touched_.remove(*child);
        touched_.set_visible(!files.empty());
        if (files.empty()) return;
        auto* heading = Gtk::make_managed<Gtk::Label>("Last touched files");
        for (const char* c : {"caption", "tarn-semibold", "tarn-secondary"}) heading->add_css_class(c);
        heading->set_xalign(0);
        touched_.append(*heading);
        for (const auto& file : files) {
            auto* line = Gtk::make_managed<Gtk::Label>(file);
            line->add_css_class("caption");
            line->add_css_class("tarn-mono");
            line->set_xalign(0);
            line->set_single_line_mode(true);
            line->set_ellipsize(Pango::EllipsizeMode::START);
            line->set_tooltip_text(file);
            touched_.append(*line);
        }
    });

    append(*Gtk::make_managed<Gtk::Separator>());
    composer_.set_margin_start(12);
    composer_.set_margin_end(12);
    composer_.set_margin_top(10);
    composer_.set_margin_bottom(12);
    append(composer_);
}

AgentColumn::~AgentColumn() {
    while (auto* child = get_first_child()) child->unparent();
}

void AgentColumn::size_allocate_vfunc(int width, int height, int baseline) {
    box_.size_allocate(Gtk::Allocation(0, 0, width, height), baseline);
}

void AgentColumn::measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural,
                                int& minimumBaseline, int& naturalBaseline) const {
    box_.measure(orientation, forSize, minimum, natural, minimumBaseline, naturalBaseline);
    // Between 340 and 460 wide, 380 when there is room.
    if (orientation == Gtk::Orientation::HORIZONTAL) {
        minimum = std::max(minimum, 340);
        natural = std::clamp(380, minimum, 460);
    }
}

}  // namespace tarn
