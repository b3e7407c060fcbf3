#pragma once
#include <gtkmm/box.h>
#include <gtkmm/label.h>

namespace tarn {

// A small card in the browser header: a title over a one-line value ("Stack", "Server", "Route").
// Assistive technologies read it as "Stack: Next.js via npm".
class HeaderChip : public Gtk::Box {
public:
    explicit HeaderChip(const std::string& title);
    // The value, and what hovering it says: the value itself unless there is more to say.
    void setValue(const std::string& value, const std::string& more = {});
    std::string valueTooltip() const { return value_.get_tooltip_text(); }
    std::string value() const { return value_.get_text(); }

private:
    std::string titleText_;
    Gtk::Label title_;
    Gtk::Label value_;
};

}  // namespace tarn
