#pragma once
#include "app/Sheet.h"

#include <functional>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>

namespace tarn {

// The layout both editing sheets share: a title, a line of help, a text editor and a row with
// Cancel and the sheet's action.
class EditingSheet : public Sheet {
public:
    EditingSheet(Gtk::Window& parent, Published<bool>& shown, int width, const std::string& title,
                 const std::string& help, int editorHeight, const std::string& actionLabel,
                 std::function<void()> action);

    Gtk::TextView& editor() { return editor_; }
    Gtk::Button& actionButton() { return action_; }
    Gtk::Button& cancelButton() { return cancel_; }

protected:
    void appearing() override;

private:
    Gtk::Label title_, help_;
    Gtk::ScrolledWindow editorFrame_;
    Gtk::TextView editor_;
    Gtk::Button cancel_{"Cancel"};
    Gtk::Button action_;
};

}  // namespace tarn
