#include "app/SelectedTargetPillView.h"

#include "app/Buttons.h"
#include "support/Translate.h"

#include <glib/gi18n-lib.h>

#include <gtkmm/eventcontrollerfocus.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/eventcontrollermotion.h>

namespace tarn {

std::string SelectedTargetPillView::titleOf(const InspectTarget& target) {
    return target.componentGuess.empty() ? target.tagName : target.componentGuess;
}

std::string SelectedTargetPillView::subtitleOf(const InspectTarget& target) {
    // Where it comes from, when known, tells more than a selector.
    return target.location().empty() ? target.selector : target.location();
}

SelectedTargetPillView::SelectedTargetPillView(InspectTarget target, bool compact, bool onDarkBackground,
                                               bool showsRemoveControl)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, compact ? 5 : 6),
      target_(std::move(target)),
      showsRemoveControl_(showsRemoveControl) {
    std::vector<Glib::ustring> classes{"tarn-pill"};
    if (compact) classes.emplace_back("compact");
    if (onDarkBackground) classes.emplace_back("dark");
    set_css_classes(classes);
    set_valign(Gtk::Align::CENTER);

    icon_.set_from_icon_name("tarn-pointer-rays-symbolic");
    icon_.set_pixel_size(compact ? 9 : 10);
    title_.set_text(titleOf(target_));
    title_.set_single_line_mode(true);
    title_.set_ellipsize(Pango::EllipsizeMode::END);
    title_.set_max_width_chars(18);
    subtitle_.set_text(subtitleOf(target_));
    subtitle_.set_single_line_mode(true);
    subtitle_.set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    subtitle_.set_max_width_chars(22);
    append(icon_);
    append(title_);
    append(subtitle_);
    set_tooltip_text(titleOf(target_) + "  " + subtitleOf(target_));
    setAccessibleLabel(*this, std::string(_("Selected element: ")) + titleOf(target_) + ", " + subtitleOf(target_));
    gtk_accessible_update_property(GTK_ACCESSIBLE(gobj()), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                   (target_.location().empty()
                                        ? tr::format(_("%1 element %2, its source not found"), {target_.tagName, target_.selector})
                                        : tr::format(_("%1 element %2, written at %3"), {target_.tagName, target_.selector, target_.location()}))
                                       .c_str(),
                                   -1);

    if (showsRemoveControl_) {
        auto* mark = Gtk::make_managed<Gtk::Image>();
        mark->set_from_icon_name("window-close-symbolic");
        mark->set_pixel_size(8);
        remove_.set_css_classes({"flat", "tarn-pill-remove"});
        remove_.set_child(*mark);
        remove_.set_tooltip_text(_("Remove selection"));
        setAccessibleLabel(remove_, _("Remove selection"));
        remove_.set_valign(Gtk::Align::CENTER);
        remove_.set_action_name("win.remove-selection");
        remove_.set_action_target_value(Glib::Variant<Glib::ustring>::create(target_.selectionKey));
        removeRevealer_.set_transition_type(Gtk::RevealerTransitionType::SLIDE_LEFT);
        removeRevealer_.set_transition_duration(160);
        auto* controls = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 2);
        if (!target_.fileGuess.empty()) {
            auto* pen = Gtk::make_managed<Gtk::Image>();
            pen->set_from_icon_name("document-edit-symbolic");
            pen->set_pixel_size(10);
            open_.set_css_classes({"flat", "tarn-pill-remove"});
            open_.set_child(*pen);
            open_.set_tooltip_text(tr::format(_("Open in Editor (%1)"), {target_.location()}));
            setAccessibleLabel(open_, _("Open in Editor"));
            open_.set_valign(Gtk::Align::CENTER);
            open_.set_action_target_value(Glib::Variant<Glib::ustring>::create(target_.selectionKey));
            open_.set_action_name("win.open-in-editor");
            controls->append(open_);
        }
        controls->append(remove_);
        removeRevealer_.set_child(*controls);
        removeRevealer_.set_reveal_child(false);
        append(removeRevealer_);
        auto motion = Gtk::EventControllerMotion::create();
        motion->signal_enter().connect([this](double, double) { setHovering(true); });
        motion->signal_leave().connect([this] { setHovering(false); });
        add_controller(motion);
        // The keyboard reaches it too: focus shows the control, Delete removes.
        set_focusable(true);
        auto focus = Gtk::EventControllerFocus::create();
        focus->signal_enter().connect([this] { setHovering(true); });
        focus->signal_leave().connect([this] { setHovering(false); });
        add_controller(focus);
        auto keys = Gtk::EventControllerKey::create();
        keys->signal_key_pressed().connect(
            [this](guint key, guint, Gdk::ModifierType) {
                if (key != GDK_KEY_Delete && key != GDK_KEY_BackSpace) return false;
                activate_action("win.remove-selection", Glib::Variant<Glib::ustring>::create(target_.selectionKey));
                return true;
            },
            false);
        add_controller(keys);
    }
}

void SelectedTargetPillView::setHovering(bool hovering) {
    if (showsRemoveControl_) removeRevealer_.set_reveal_child(hovering);
}

}  // namespace tarn
