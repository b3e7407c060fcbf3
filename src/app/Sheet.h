#pragma once
#include "support/Published.h"

#include <gtkmm/box.h>
#include <gtkmm/window.h>

namespace tarn {

// A modal window over the main window, shown while its flag is true. Escape, the close button and
// the editing buttons all close it by setting the flag back to false.
class Sheet : public Gtk::Window {
public:
    Sheet(Gtk::Window& parent, Published<bool>& shown, int width, int height = -1);
    ~Sheet() override;

    Gtk::Box& content() { return content_; }
    void dismiss() { shown_ = false; }

protected:
    // Called each time the sheet appears.
    virtual void appearing() {}

private:
    Published<bool>& shown_;
    Gtk::Box content_{Gtk::Orientation::VERTICAL, 12};
};

}  // namespace tarn
