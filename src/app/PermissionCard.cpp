#include "app/PermissionCard.h"

#include "app/Buttons.h"
#include "support/Text.h"
#include "support/Translate.h"

#include <glib/gi18n-lib.h>
#include <gtkmm/builder.h>
#include <gtkmm/button.h>
#include <algorithm>
#include <tuple>

namespace tarn {

PermissionCard::PermissionCard() : Gtk::Box(Gtk::Orientation::VERTICAL) {
    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/permission-card.ui");
    title_ = builder->get_widget<Gtk::Label>("title");
    command_ = builder->get_widget<Gtk::Label>("command");
    places_ = builder->get_widget<Gtk::Label>("places");
    answer_ = builder->get_widget<Gtk::Label>("answer");
    diff_ = builder->get_widget<Gtk::Box>("diff");
    buttons_ = builder->get_widget<Gtk::Box>("buttons");
    append(*builder->get_widget<Gtk::Box>("card"));
}

std::string PermissionCard::diffText(const StepDiff& diff, std::size_t limit) {
    auto oldLines = text::splitNewlines(diff.oldText), newLines = text::splitNewlines(diff.newText);
    // Lines both sides share at the start and the end are left out: the change is what differs.
    std::size_t head = 0;
    while (head < oldLines.size() && head < newLines.size() && oldLines[head] == newLines[head]) ++head;
    std::size_t tail = 0;
    while (tail < oldLines.size() - head && tail < newLines.size() - head &&
           oldLines[oldLines.size() - 1 - tail] == newLines[newLines.size() - 1 - tail]) {
        ++tail;
    }
    std::vector<std::string> out{diff.path};
    auto add = [&](const std::vector<std::string>& lines, const char* mark) {
        const std::size_t end = lines.size() - tail;
        for (std::size_t i = head; i < end && i < head + limit; ++i) out.push_back(mark + lines[i]);
        if (end - head > limit) out.push_back(tr::format(_("%1 … and %2 more lines"), {mark, std::to_string(end - head - limit)}));
    };
    add(oldLines, "−");
    add(newLines, "+");
    return text::join(out, "\n");
}

void PermissionCard::fillDiff(Gtk::Box& box, const std::vector<StepDiff>& diffs, std::size_t limit) {
    while (auto* child = box.get_first_child()) box.remove(*child);
    for (std::size_t i = 0; i < diffs.size(); ++i) {
        const auto lines = text::splitNewlines(diffText(diffs[i], limit));
        for (std::size_t n = 0; n < lines.size(); ++n) {
            auto* line = Gtk::make_managed<Gtk::Label>(lines[n]);
            line->set_xalign(0);
            line->set_wrap(true);
            line->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
            if (n == 0 && i > 0) line->set_margin_top(6);
            if (n > 0 && lines[n].starts_with("−")) line->add_css_class("error");
            if (n > 0 && lines[n].starts_with("+")) line->add_css_class("success");
            box.append(*line);
        }
    }
}

void PermissionCard::show(const Uuid& message, const PermissionRequest& request) {
    title_->set_text(request.title);
    command_->set_text(request.command.empty() ? "" : "$ " + request.command);
    command_->set_visible(!request.command.empty());
    // The places the diffs do not already name.
    std::vector<std::string> places;
    for (const auto& where : request.locations) {
        const std::string file = where.substr(0, where.rfind(':') == std::string::npos ? where.size() : where.rfind(':'));
        if (std::none_of(request.diffs.begin(), request.diffs.end(), [&](const StepDiff& d) { return d.path == file; })) places.push_back(where);
    }
    places_->set_text(text::join(places, "\n"));
    places_->set_visible(!places.empty());
    fillDiff(*diff_, request.diffs);
    diff_->set_visible(!request.diffs.empty());

    while (auto* child = buttons_->get_first_child()) buttons_->remove(*child);
    const bool answered = request.answer.has_value();
    buttons_->set_visible(!answered);
    answer_->set_visible(answered);
    const std::string described = request.command.empty() ? request.title : request.command;
    setAccessibleLabel(*this, tr::format(_("Permission: %1"), {described}));
    if (answered) {
        std::string chosen;
        for (const auto& o : request.options) {
            if (o.id == *request.answer) chosen = o.name;
        }
        answer_->set_text(!request.note.empty() ? request.note
                         : chosen.empty()      ? std::string(_("Stopped before an answer."))
                                               : tr::format(_("Answered: %1"), {chosen}));
        return;
    }
    for (const auto& option : request.options) {
        auto* button = Gtk::make_managed<Gtk::Button>(option.name);
        button->add_css_class("tarn-reply-action");
        if (option.kind == PermissionOption::Kind::allowOnce) button->add_css_class("suggested-action");
        button->set_action_name("win.answer-permission");
        button->set_action_target_value(
            Glib::Variant<std::tuple<Glib::ustring, Glib::ustring>>::create({message.string(), option.id}));
        button->set_tooltip_text(tr::format(_("%1: %2"), {option.name, described}));
        buttons_->append(*button);
    }
}

std::vector<std::string> PermissionCard::choices() const {
    std::vector<std::string> out;
    if (answer_->get_visible()) return {answer_->get_text()};
    for (auto* child = buttons_->get_first_child(); child; child = child->get_next_sibling()) {
        out.push_back(static_cast<const Gtk::Button*>(child)->get_label());
    }
    return out;
}

}  // namespace tarn
