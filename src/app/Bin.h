#pragma once
#include <glibmm/extraclassinit.h>
#include <gtkmm/widget.h>

namespace tarn {

// Sets a custom widget type's class up as a plain container: laid out around one child, and a
// group that assistive technologies pass through rather than announce.
class PlainContainerClass : public Glib::ExtraClassInit {
protected:
    PlainContainerClass();
};

// One child, laid out to fill it: the base of the widgets that draw around their content.
class Bin : public PlainContainerClass, public Gtk::Widget {
public:
    // The most derived class names the widget's type (Glib::ObjectBase), so it gets this class set-up.
    Bin();
    ~Bin() override;

    void setChild(Gtk::Widget& child);
    Gtk::Widget* child() const { return const_cast<Gtk::Widget*>(get_first_child()); }
};

}  // namespace tarn
