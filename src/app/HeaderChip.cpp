#include "app/HeaderChip.h"

#include "app/Buttons.h"

namespace tarn {

HeaderChip::HeaderChip(const std::string& title)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 2), titleText_(title), title_(title) {
    add_css_class("tarn-chip");
    title_.add_css_class("tarn-caption-small");
    title_.add_css_class("dim-label");
    title_.set_xalign(0);
    value_.add_css_class("caption");
    value_.add_css_class("tarn-mono");
    value_.set_xalign(0);
    value_.set_single_line_mode(true);
    value_.set_ellipsize(Pango::EllipsizeMode::END);
    value_.set_max_width_chars(28);
    append(title_);
    append(value_);
}

void HeaderChip::setValue(const std::string& value, const std::string& more) {
    if (std::string(value_.get_text()) != value) value_.set_text(value);
    value_.set_tooltip_text(more.empty() ? value : more);
    set_tooltip_text(more.empty() ? value : more);
    setAccessibleLabel(*this, titleText_ + ": " + value);
}

}  // namespace tarn
