#include "app/AgentColumn.h"

#include "app/Bind.h"
#include "app/Buttons.h"

#include <glib/gi18n-lib.h>
#include <gtkmm/label.h>
#include <gtkmm/separator.h>

namespace tarn {

AgentColumn::AgentColumn(AppViewModel& model)
    : Gtk::Box(Gtk::Orientation::VERTICAL), model_(model), details_(model), transcript_(model.chat().messages), composer_(model) {
    add_css_class("tarn-agent-card");
    set_size_request(300, -1);

    auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    header->add_css_class("tarn-agent-header");
    auto* title = Gtk::make_managed<Gtk::Label>(_("Agent"));
    title->add_css_class("heading");
    title->set_xalign(0);
    title->set_hexpand(true);
    auto* toggleLabel = Gtk::make_managed<Gtk::Label>(_("Plan Mode"));
    planMode_.set_valign(Gtk::Align::CENTER);
    planMode_.set_action_name("win.plan-mode");
    setAccessibleLabel(planMode_, _("Plan Mode"));
    planMode_.set_tooltip_text(_("Ask for a plan only; nothing is edited"));
    header->append(*title);
    header->append(*toggleLabel);
    header->append(planMode_);
    append(*header);

    append(*Gtk::make_managed<Gtk::Separator>());
    append(details_);
    append(*Gtk::make_managed<Gtk::Separator>());
    append(transcript_);

    touched_.set_margin_start(12);
    touched_.set_margin_end(12);
    touched_.set_margin_bottom(8);
    append(touched_);
    bind::to(*this, model_.requests().touchedFiles, [this](const std::vector<std::string>& files) {
        while (auto* child = touched_.get_first_child()) touched_.remove(*child);
        touched_.set_visible(!files.empty());
        if (files.empty()) return;
        auto* heading = Gtk::make_managed<Gtk::Label>(_("Last touched files"));
        for (const char* c : {"caption", "tarn-semibold", "dim-label"}) heading->add_css_class(c);
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

}  // namespace tarn
