#pragma once
#include "support/Published.h"
#include "support/PublishedList.h"

#include <gtkmm/entry.h>
#include <gtkmm/listbox.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textbuffer.h>
#include <gtkmm/widget.h>
#include <sigc++/adaptors/track_obj.h>

#include <functional>
#include <string>
#include <utility>

// Keeping widgets in step with the controller's published values. Every binding lives as long as
// the widget that owns it; nothing is rebuilt, each binding changes only what it shows.
namespace tarn::bind {

// Calls `apply` with the value now and after every change, while `owner` exists.
template <typename T, typename F>
void to(Gtk::Widget& owner, Published<T>& value, F apply) {
    apply(value.get());
    value.observe(sigc::track_obj([&value, apply] { apply(value.get()); }, owner));
}

// Keeps a list box's rows in step with a list, row by row: `makeRow` makes the row of an item
// (a managed widget), for the items there now and each one inserted or changed later.
template <typename T, typename MakeRow>
void rows(Gtk::ListBox& box, PublishedList<T>& list, MakeRow makeRow) {
    for (const auto& item : *list) box.append(*makeRow(item));
    list.observeChanges(sigc::track_obj(
        [&box, &list, makeRow](const typename PublishedList<T>::Change& change) {
            using Kind = typename PublishedList<T>::Change::Kind;
            for (std::size_t i = 0; i < change.count; ++i) {
                const int at = static_cast<int>(change.position + (change.kind == Kind::removed ? 0 : i));
                if (change.kind != Kind::inserted) {
                    if (auto* row = box.get_row_at_index(at)) box.remove(*row);
                }
                if (change.kind != Kind::removed) box.insert(*makeRow(list->at(change.position + i)), at);
            }
        },
        box));
}

// Keeps a style class on `widget` while the flag is set.
inline void styleWhile(Gtk::Widget& widget, Published<bool>& flag, const char* style) {
    to(widget, flag, [&widget, style](bool on) {
        if (on) widget.add_css_class(style);
        else widget.remove_css_class(style);
    });
}

// A trigger that runs `apply` once, on the next turn of the main loop, however often it was pulled
// before then: for views that follow fast streams (the server log) or values changed in bursts.
// Nothing runs once `owner` is gone.
std::function<void()> onceInTurn(Gtk::Widget& owner, std::function<void()> apply);

// Runs the trigger on every change of `value` while `owner` exists.
template <typename T>
void pulls(Gtk::Widget& owner, Published<T>& value, const std::function<void()>& trigger) {
    value.observe(sigc::track_obj([trigger] { trigger(); }, owner));
}

// Keeps a scrolled list at its end as it grows, while the user is at the end.
void followEnd(Gtk::ScrolledWindow& scroller);

// A text field and a text value, both ways.
void text(Gtk::Entry& field, Published<std::string>& value);
void text(Gtk::Widget& owner, const Glib::RefPtr<Gtk::TextBuffer>& buffer, Published<std::string>& value);

}  // namespace tarn::bind
