#include "app/AgentColumn.h"

#include "app/Bind.h"
#include "app/Buttons.h"

#include <glib/gi18n-lib.h>
#include <gtkmm/builder.h>
#include <gtkmm/label.h>
#include <gtkmm/separator.h>

namespace tarn {

AgentColumn::AgentColumn(AppViewModel& model)
    : Gtk::Box(Gtk::Orientation::VERTICAL), model_(model), details_(model), transcript_(model.chat().messages), composer_(model) {
    add_css_class("tarn-agent-card");
    set_size_request(300, -1);

    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/agent-header.ui");
    planMode_ = builder->get_widget<Gtk::Switch>("plan-mode");
    append(*builder->get_widget<Gtk::Box>("header"));

    append(*Gtk::make_managed<Gtk::Separator>());
    append(details_);
    append(*Gtk::make_managed<Gtk::Separator>());
    append(transcript_);

    touched_.add_css_class("tarn-touched-files");
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
    composer_.add_css_class("tarn-composer");
    append(composer_);
}

}  // namespace tarn
