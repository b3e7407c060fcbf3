#pragma once
#include "app/MessageRow.h"
#include "support/PublishedList.h"

#include <giomm/liststore.h>
#include <gtkmm/listbox.h>
#include <gtkmm/scrolledwindow.h>
#include <set>
#include <vector>

namespace tarn {

// One message of the chat as an item of a list model: rows are bound to it and follow its changes.
class MessageItem : public Glib::Object {
public:
    static Glib::RefPtr<MessageItem> create(const AgentMessage& message);
    const AgentMessage& message() const { return message_; }
    void update(const AgentMessage& message);
    sigc::signal<void()>& changed() { return changed_; }

private:
    explicit MessageItem(const AgentMessage& message) : message_(message) {}
    AgentMessage message_;
    sigc::signal<void()> changed_;
};

// The chat: a list bound to a model of the controller's messages, one row per message, made when
// the message appears and updated in place after (once a turn, however often it changed); it
// follows the newest message while the user is at the end.
class Transcript : public Gtk::ScrolledWindow {
public:
    explicit Transcript(PublishedList<AgentMessage>& messages);
    std::vector<MessageRow*> rows() const;

private:
    void apply(const PublishedList<AgentMessage>::Change& change);
    void updateChanged();

    PublishedList<AgentMessage>& messages_;
    Glib::RefPtr<Gio::ListStore<MessageItem>> items_;
    Gtk::ListBox list_;
    std::set<std::size_t> changed_;  // positions changed since the rows were last updated
    std::function<void()> updateSoon_;
};

}  // namespace tarn
