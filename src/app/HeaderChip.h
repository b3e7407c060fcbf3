#pragma once
#include <gtkmm/box.h>
#include <gtkmm/label.h>

namespace tarn {

// A small card in the browser header: a title over a one-line value ("Stack", "Server", "Route").
class HeaderChip : public Gtk::Box {
public:
    explicit HeaderChip(const std::string& title);
    void setValue(const std::string& value);
    std::string value() const { return value_.get_text(); }

private:
    Gtk::Label title_;
    Gtk::Label value_;
};

}  // namespace tarn
