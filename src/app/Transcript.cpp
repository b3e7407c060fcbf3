#include "app/Transcript.h"

#include "app/Bind.h"

namespace tarn {

Transcript::Transcript(Published<std::vector<AgentMessage>>& messages) : messages_(messages) {
    add_css_class("tarn-transcript");
    set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    set_vexpand(true);
    column_.set_margin(12);
    column_.set_valign(Gtk::Align::START);
    set_child(column_);

    bind::followEnd(*this);

    auto trigger = bind::onceInTurn(*this, [this] { sync(); });
    bind::pulls(*this, messages_, trigger);
    sync();
}

void Transcript::sync() {
    const auto& list = *messages_;
    // Messages are only ever appended or changed in place, so rows keep their order.
    std::map<Uuid, MessageRow*> kept;
    for (const auto& message : list) {
        MessageRow* row;
        if (auto found = rows_.find(message.id); found != rows_.end()) {
            row = found->second;
            row->update(message);
            rows_.erase(found);
        } else {
            row = Gtk::make_managed<MessageRow>(message);
            column_.append(*row);
        }
        kept.emplace(message.id, row);
    }
    for (auto& [id, row] : rows_) column_.remove(*row);
    rows_ = std::move(kept);
}

std::vector<MessageRow*> Transcript::rows() const {
    std::vector<MessageRow*> out;
    for (auto* child = column_.get_first_child(); child; child = child->get_next_sibling()) {
        out.push_back(static_cast<MessageRow*>(const_cast<Gtk::Widget*>(child)));
    }
    return out;
}

}  // namespace tarn
