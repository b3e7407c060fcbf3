#pragma once
#include <string>

namespace Gtk {
class Widget;
}

namespace tarn {
// Names a widget for assistive technologies (an icon-only button, a field without a label).
void setAccessibleLabel(Gtk::Widget& widget, const std::string& label);
}  // namespace tarn

namespace tarn::icons {

// The Adwaita symbolic icon that stands for a system symbol name of the design ("arrow.clockwise").
// Unknown names get a generic icon, so a typo shows rather than crashes.
std::string named(const std::string& symbol);

}  // namespace tarn::icons
