#include "app/Transcript.h"

#include "app/Bind.h"
#include "app/Icons.h"

#include <glib/gi18n-lib.h>

namespace tarn {

Glib::RefPtr<MessageItem> MessageItem::create(const AgentMessage& message) {
    return Glib::make_refptr_for_instance<MessageItem>(new MessageItem(message));
}

void MessageItem::update(const AgentMessage& message) {
    if (message == message_) return;
    message_ = message;
    changed_.emit();
}

Transcript::Transcript(Published<std::vector<AgentMessage>>& messages)
    : messages_(messages), items_(Gio::ListStore<MessageItem>::create()) {
    add_css_class("tarn-transcript");
    set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    set_vexpand(true);
    list_.set_selection_mode(Gtk::SelectionMode::NONE);
    list_.set_margin(12);
    list_.set_valign(Gtk::Align::START);
    setAccessibleLabel(list_, _("Chat"));
    list_.bind_model(items_, [](const Glib::RefPtr<Glib::Object>& object) -> Gtk::Widget* {
        auto item = std::dynamic_pointer_cast<MessageItem>(object);
        auto* row = Gtk::make_managed<MessageRow>(item->message());
        item->changed().connect(sigc::track_obj([row, item = item.get()] { row->update(item->message()); }, *row));
        return row;
    });
    set_child(list_);

    bind::followEnd(*this);

    auto trigger = bind::onceInTurn(*this, [this] { sync(); });
    bind::pulls(*this, messages_, trigger);
    sync();
}

void Transcript::sync() {
    // Messages are only ever appended or changed in place, so the model keeps their order.
    std::map<Uuid, Glib::RefPtr<MessageItem>> kept;
    guint position = 0;
    for (const auto& message : *messages_) {
        if (auto found = byId_.find(message.id); found != byId_.end()) {
            found->second->update(message);
            kept.emplace(message.id, found->second);
            byId_.erase(found);
        } else {
            auto item = MessageItem::create(message);
            items_->insert(position, item);
            kept.emplace(message.id, item);
        }
        ++position;
    }
    for (auto& [id, item] : byId_) {
        for (guint i = 0; i < items_->get_n_items(); ++i) {
            if (items_->get_item(i) == item) {
                items_->remove(i);
                break;
            }
        }
    }
    byId_ = std::move(kept);
}

std::vector<MessageRow*> Transcript::rows() const {
    std::vector<MessageRow*> out;
    for (auto* row = list_.get_first_child(); row; row = row->get_next_sibling()) {
        if (auto* listRow = dynamic_cast<const Gtk::ListBoxRow*>(row)) {
            out.push_back(static_cast<MessageRow*>(const_cast<Gtk::Widget*>(listRow->get_child())));
        }
    }
    return out;
}

}  // namespace tarn
