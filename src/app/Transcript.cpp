#include "app/Transcript.h"

#include "app/Accessibility.h"
#include "app/Bind.h"
#include "app/Buttons.h"

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

Transcript::Transcript(PublishedList<AgentMessage>& messages)
    : messages_(messages), items_(Gio::ListStore<MessageItem>::create()) {
    add_css_class("tarn-transcript");
    set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    set_vexpand(true);
    list_.set_selection_mode(Gtk::SelectionMode::NONE);
    list_.set_margin(12);
    list_.set_valign(Gtk::Align::START);
    setAccessibleLabel(list_, _("Chat"));
    nameInnerParts(*this, _("Chat"));
    list_.bind_model(items_, [](const Glib::RefPtr<Glib::Object>& object) -> Gtk::Widget* {
        auto item = std::dynamic_pointer_cast<MessageItem>(object);
        auto* row = Gtk::make_managed<MessageRow>(item->message());
        item->changed().connect(sigc::track_obj([row, item = item.get()] { row->update(item->message()); }, *row));
        return row;
    });
    set_child(list_);

    bind::followEnd(*this);

    updateSoon_ = bind::onceInTurn(*this, [this] { updateChanged(); });
    messages_.observeChanges(sigc::track_obj([this](const auto& change) { apply(change); }, *this));
    apply({PublishedList<AgentMessage>::Change::Kind::inserted, 0, messages_->size()});
}

void Transcript::apply(const PublishedList<AgentMessage>::Change& change) {
    using Kind = PublishedList<AgentMessage>::Change::Kind;
    switch (change.kind) {
        case Kind::inserted: {
            std::vector<Glib::RefPtr<MessageItem>> added;
            for (std::size_t i = 0; i < change.count; ++i) added.push_back(MessageItem::create(messages_->at(change.position + i)));
            items_->splice(change.position, 0, added);
            break;
        }
        case Kind::changed:
            changed_.insert(change.position);
            updateSoon_();
            break;
        case Kind::removed: {
            // Rows waiting for their update move up with the rest.
            std::set<std::size_t> shifted;
            for (std::size_t p : changed_) {
                if (p != change.position) shifted.insert(p > change.position ? p - 1 : p);
            }
            changed_ = std::move(shifted);
            items_->remove(static_cast<guint>(change.position));
            break;
        }
    }
}

void Transcript::updateChanged() {
    for (std::size_t position : changed_) {
        items_->get_item(static_cast<guint>(position))->update(messages_->at(position));
    }
    changed_.clear();
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
