#pragma once
#include <functional>
#include <giomm/menumodel.h>
#include <string>

namespace Gtk {
class Button;
class MenuButton;
class ToggleButton;
class Widget;
}  // namespace Gtk

namespace tarn {
// Names a widget for assistive technologies (an icon-only button, a field without a label).
void setAccessibleLabel(Gtk::Widget& widget, const std::string& label);

// Buttons that activate a window action; every one has a name of its own.
void labelledButton(Gtk::Button& button, const std::string& label, const std::string& action, const std::string& help);
// An icon-only button: its tooltip is also its name.
void makeIconButton(Gtk::Button& button, const std::string& icon, const std::string& help, const std::string& action);
// The same for a toggle on a stateful action: pressed while the action's state is on.
void makeIconToggle(Gtk::ToggleButton& button, const std::string& icon, const std::string& help, const std::string& action);
// An icon beside a label.
void iconAndLabelButton(Gtk::Button& button, const std::string& icon, const std::string& label, const std::string& action,
                        const std::string& help);
// A menu made the first time it opens: nothing off screen is built before the first frame.
void menuOnDemand(Gtk::MenuButton& button, std::function<Glib::RefPtr<Gio::MenuModel>()> make);
}  // namespace tarn
