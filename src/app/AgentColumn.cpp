#include "app/AgentColumn.h"

#include "app/Bind.h"
#include "app/Buttons.h"
#include "support/Trace.h"

#include <glib/gi18n-lib.h>
#include <glibmm/main.h>
#include <gtkmm/builder.h>
#include <gtkmm/label.h>
#include <gtkmm/separator.h>

namespace tarn {

AgentColumn::Parts::Parts(AppViewModel& model) : details(model), transcript(model.chat().messages), composer(model) {}

AgentColumn::AgentColumn(AppViewModel& model) : Gtk::Box(Gtk::Orientation::VERTICAL), model_(model) {
    add_css_class("tarn-agent-card");
    set_size_request(300, -1);

    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/agent-header.ui");
    planMode_ = builder->get_widget<Gtk::Switch>("plan-mode");
    append(*builder->get_widget<Gtk::Box>("header"));
    append(*Gtk::make_managed<Gtk::Separator>());

    // The rest once the first frame is on screen: the idle after it, before the user can act.
    add_tick_callback([this](const Glib::RefPtr<Gdk::FrameClock>&) {
        Glib::signal_idle().connect_once(sigc::track_obj([this] { built(); }, *this));
        return false;
    });
}

AgentColumn::Parts& AgentColumn::built() {
    if (parts_) return *parts_;
    parts_ = std::make_unique<Parts>(model_);
    Parts& p = *parts_;
    append(p.details);
    append(*Gtk::make_managed<Gtk::Separator>());
    append(p.transcript);

    p.touched.add_css_class("tarn-touched-files");
    append(p.touched);
    bind::to(*this, model_.requests().touchedFiles, [&p](const std::vector<std::string>& files) {
        while (auto* child = p.touched.get_first_child()) p.touched.remove(*child);
        p.touched.set_visible(!files.empty());
        if (files.empty()) return;
        auto* heading = Gtk::make_managed<Gtk::Label>(_("Last touched files"));
        for (const char* c : {"caption", "tarn-semibold", "dim-label"}) heading->add_css_class(c);
        heading->set_xalign(0);
        p.touched.append(*heading);
        for (const auto& file : files) {
            auto* line = Gtk::make_managed<Gtk::Label>(file);
            line->add_css_class("caption");
            line->add_css_class("tarn-mono");
            line->set_xalign(0);
            line->set_single_line_mode(true);
            line->set_ellipsize(Pango::EllipsizeMode::START);
            line->set_tooltip_text(file);
            p.touched.append(*line);
        }
    });

    append(*Gtk::make_managed<Gtk::Separator>());
    p.composer.add_css_class("tarn-composer");
    append(p.composer);
    trace::mark("agent column built");
    return p;
}

}  // namespace tarn
