#include "app/Bind.h"

#include <glibmm/main.h>
#include <gtkmm/adjustment.h>

namespace tarn::bind {

std::function<void()> onceInTurn(Gtk::Widget& owner, std::function<void()> apply) {
    struct State {
        bool pending = false;
        std::function<void()> apply;
    };
    auto state = std::make_shared<State>();
    state->apply = std::move(apply);
    Gtk::Widget* widget = &owner;
    return [state, widget] {
        if (state->pending) return;
        state->pending = true;
        // Before drawing, so the frame shows the result.
        Glib::signal_idle().connect(sigc::track_obj(
                                        [state] {
                                            state->pending = false;
                                            state->apply();
                                            return false;
                                        },
                                        *widget),
                                    Glib::PRIORITY_HIGH_IDLE);
    };
}

void followEnd(Gtk::ScrolledWindow& scroller) {
    struct State {
        bool atEnd = true;
        bool pinning = false;
        bool pending = false;
    };
    auto state = std::make_shared<State>();
    Gtk::Adjustment* raw = scroller.get_vadjustment().get();
    raw->signal_value_changed().connect([raw, state] {
        if (state->pinning) return;
        state->atEnd = raw->get_value() + raw->get_page_size() >= raw->get_upper() - 4;
    });
    // The adjustment changes while the list is being laid out, when a new value would not move
    // the list until the next layout: the end is pinned on the next frame instead.
    Gtk::ScrolledWindow* widget = &scroller;
    raw->signal_changed().connect([widget, raw, state] {
        if (!state->atEnd || state->pending) return;
        state->pending = true;
        widget->add_tick_callback([raw, state](const Glib::RefPtr<Gdk::FrameClock>&) {
            state->pending = false;
            if (state->atEnd) {
                state->pinning = true;
                raw->set_value(raw->get_upper() - raw->get_page_size());
                state->pinning = false;
            }
            return false;
        });
    });
}

void text(Gtk::Entry& field, Published<std::string>& value) {
    auto updating = std::make_shared<bool>(false);
    auto show = [&field, updating](const std::string& text) {
        if (std::string(field.get_text()) == text) return;
        *updating = true;
        field.set_text(text);
        *updating = false;
    };
    to(field, value, show);
    field.signal_changed().connect([&field, &value, updating] {
        if (*updating) return;
        std::string typed = field.get_text();
        if (typed != *value) value = typed;
    });
}

void text(Gtk::Widget& owner, const Glib::RefPtr<Gtk::TextBuffer>& buffer, Published<std::string>& value) {
    auto updating = std::make_shared<bool>(false);
    Gtk::TextBuffer* raw = buffer.get();
    auto show = [raw, updating](const std::string& text) {
        if (std::string(raw->get_text()) == text) return;
        *updating = true;
        raw->set_text(text);
        *updating = false;
    };
    to(owner, value, show);
    buffer->signal_changed().connect(sigc::track_obj(
        [raw, &value, updating] {
            if (*updating) return;
            std::string typed = raw->get_text();
            if (typed != *value) value = typed;
        },
        owner));
}

}  // namespace tarn::bind
