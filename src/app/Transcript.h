#pragma once
#include "app/MessageRow.h"
#include "support/Published.h"

#include <gtkmm/box.h>
#include <gtkmm/scrolledwindow.h>
#include <map>
#include <vector>

namespace tarn {

// The chat: one row per message, made when the message appears and updated in place after;
// it follows the newest message while the user is at the end.
class Transcript : public Gtk::ScrolledWindow {
public:
    explicit Transcript(Published<std::vector<AgentMessage>>& messages);
    std::vector<MessageRow*> rows() const;

private:
    void sync();

    Published<std::vector<AgentMessage>>& messages_;
    Gtk::Box column_{Gtk::Orientation::VERTICAL, 10};
    std::map<Uuid, MessageRow*> rows_;
};

}  // namespace tarn
