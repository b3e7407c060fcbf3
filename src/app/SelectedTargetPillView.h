#pragma once
#include "model/InspectTarget.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/revealer.h>

namespace tarn {

// One selected page element as a capsule: its component (or tag) over its file hint (or
// selector). In the composer it offers Open in Editor (once its source is known) and a remove
// button (the window's actions) while the pointer or the keyboard's focus is on it; in the
// transcript it is smaller and sits on the user's bubble.
class SelectedTargetPillView : public Gtk::Box {
public:
    SelectedTargetPillView(InspectTarget target, bool compact, bool onDarkBackground, bool showsRemoveControl);

    static std::string titleOf(const InspectTarget& target);
    static std::string subtitleOf(const InspectTarget& target);

    const InspectTarget& target() const { return target_; }
    // For tests and the keyboard: the remove control as it is now.
    Gtk::Button& removeButton() { return remove_; }
    Gtk::Button& openButton() { return open_; }
    bool removeShown() const { return removeRevealer_.get_reveal_child(); }
    void setHovering(bool hovering);

private:
    InspectTarget target_;
    bool showsRemoveControl_;
    Gtk::Image icon_;
    Gtk::Label title_;
    Gtk::Label subtitle_;
    Gtk::Revealer removeRevealer_;
    Gtk::Button remove_;
    Gtk::Button open_;
};

}  // namespace tarn
