#include "app/ConsolePane.h"

#include "app/Accessibility.h"
#include "app/Bind.h"
#include "app/Buttons.h"
#include "support/Text.h"
#include "workspace/ErrorReports.h"

#include <giomm/liststore.h>
#include <glib/gi18n-lib.h>
#include <gtkmm/button.h>
#include <gtkmm/flattenlistmodel.h>
#include <gtkmm/signallistitemfactory.h>
#include <gtkmm/noselection.h>
#include <gtkmm/stringobject.h>

namespace tarn {

const char* ConsolePane::styleOf(const std::string& line) {
    // The level is upper-cased into the line, so the prefix tells it, whatever its case was.
    if (text::startsWith(line, "[ERROR] ")) return "tarn-log-error";
    if (text::startsWith(line, "[WARN] ")) return "tarn-log-warn";
    return "tarn-log-other";
}

ConsolePane::ConsolePane(Browser& browser, ServerSession& session)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 6), browser_(browser), session_(session) {
    add_css_class("tarn-console");
    auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    auto* title = Gtk::make_managed<Gtk::Label>(_("Console"));
    header->append(*title);
    header->append(count_);
    append(*header);

    consoleRows_ = Gtk::StringList::create({});
    serverRows_ = Gtk::StringList::create({});
    auto both = Gio::ListStore<Gio::ListModel>::create();
    both->append(consoleRows_);
    both->append(serverRows_);
    rows_ = Gtk::FlattenListModel::create(both);
    auto factory = Gtk::SignalListItemFactory::create();
    factory->signal_setup().connect([](const Glib::RefPtr<Gtk::ListItem>& item) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
        auto* label = Gtk::make_managed<Gtk::Label>();
        label->set_xalign(0);
        label->set_hexpand(true);
        label->set_selectable(true);
        label->set_wrap(true);
        label->set_wrap_mode(Pango::WrapMode::CHAR);
        // The fix button is made for the rows that offer it: a burst of lines makes many rows.
        row->append(*label);
        item->set_child(*row);
        item->set_activatable(false);
    });
    factory->signal_bind().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
        auto* label = static_cast<Gtk::Label*>(item->get_child()->get_first_child());
        auto* fix = static_cast<Gtk::Button*>(label->get_next_sibling());
        const bool offered = offersFix(item->get_position());
        if (!fix && offered) {
            fix = Gtk::make_managed<Gtk::Button>(_("Ask Agent to Fix"));
            fix->add_css_class("tarn-reply-action");
            fix->set_valign(Gtk::Align::START);
            fix->set_tooltip_text(_("Put a request to fix this error in the composer"));
            static_cast<Gtk::Box*>(item->get_child())->append(*fix);
        }
        auto line = std::dynamic_pointer_cast<Gtk::StringObject>(item->get_item());
        std::string text = line ? std::string(line->get_string()) : std::string();
        label->set_text(text);
        for (const char* style : {"tarn-log-error", "tarn-log-warn", "tarn-log-other"}) label->remove_css_class(style);
        label->add_css_class(styleOf(text));
        if (!fix) return;
        fix->set_visible(offered);
        // The target first: the action takes the line.
        fix->set_action_target_value(Glib::Variant<Glib::ustring>::create(text));
        fix->set_action_name("win.ask-agent-to-fix");
    });
    list_.set_model(Gtk::NoSelection::create(rows_));
    list_.set_factory(factory);
    setAccessibleLabel(list_, _("Console and server log"));
    scroller_.set_child(list_);
    nameInnerParts(scroller_, _("Console and server log"));
    scroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    scroller_.set_size_request(-1, 120);
    scroller_.set_vexpand(false);
    append(scroller_);

    bind::followEnd(scroller_);

    auto trigger = bind::onceInTurn(*this, [this] { sync(); });
    bind::pulls(*this, browser_.consoleEntries, trigger);
    bind::pulls(*this, session_.serverLogLines, trigger);
    sync();
}

template <typename T, typename F>
void ConsolePane::follow(const RollingList<T>& log, Shown& shown, Gtk::StringList& rows, F lineOf,
                         std::unordered_map<std::string, std::uint64_t>& firsts, bool (*isError)(const std::string&)) {
    std::vector<Glib::ustring> added;
    auto take = [&](std::uint64_t index) {
        Glib::ustring line = lineOf(log[static_cast<std::size_t>(index - log.firstIndex())]);
        if (isError(line.raw())) {
            // Bounded: past a thousand error texts, repeats are offered again.
            if (firsts.size() > 1000) firsts.clear();
            firsts.emplace(line.raw(), index);
        }
        added.push_back(std::move(line));
    };
    if (log.generation() != shown.generation || log.firstIndex() < shown.first) {
        // Emptied since: start again.
        for (std::uint64_t i = log.firstIndex(); i < log.firstIndex() + log.size(); ++i) take(i);
        rows.splice(0, static_cast<guint>(shown.count), added);
    } else {
        // Drop what scrolled off the front, add what came at the end.
        const auto removed = static_cast<guint>(std::min<std::uint64_t>(log.firstIndex() - shown.first, shown.count));
        const std::uint64_t logEnd = log.firstIndex() + log.size();
        for (std::uint64_t i = std::max(shown.first + shown.count, log.firstIndex()); i < logEnd; ++i) take(i);
        if (removed) rows.splice(0, removed, {});
        rows.splice(static_cast<guint>(shown.count) - removed, 0, added);
    }
    shown = Shown{log.generation(), log.firstIndex(), log.size()};
}

namespace {

bool isConsoleError(const std::string& row) { return errorReports::isConsoleError(row); }
bool isServerError(const std::string& row) {
    return errorReports::readsAsBuildError(text::startsWith(row, "[SERVER] ") ? row.substr(9) : row);
}

}  // namespace

bool ConsolePane::offersFix(guint position) const {
    auto line = std::dynamic_pointer_cast<Gtk::StringObject>(rows_->get_object(position));
    if (!line) return false;
    const std::string text = line->get_string();
    const bool console = position < console_.count;
    const std::uint64_t index = console ? console_.first + position : server_.first + (position - console_.count);
    if (!(console ? isConsoleError(text) : isServerError(text))) return false;
    const auto& firsts = console ? consoleFirsts_ : serverFirsts_;
    auto first = firsts.find(text);
    return first == firsts.end() || first->second == index;
}

void ConsolePane::sync() {
    follow(*browser_.consoleEntries, console_, *consoleRows_, [](const BrowserConsoleEntry& e) { return Glib::ustring(e.line()); },
           consoleFirsts_, isConsoleError);
    follow(*session_.serverLogLines, server_, *serverRows_, [](const std::string& line) { return Glib::ustring("[SERVER] " + line); },
           serverFirsts_, isServerError);
    const std::size_t total = console_.count + server_.count;
    count_.set_text(Glib::ustring::compose(ngettext("%1 line", "%1 lines", total), total));
}

std::vector<std::string> ConsolePane::lines() const {
    std::vector<std::string> out;
    for (guint i = 0; i < rows_->get_n_items(); ++i) {
        auto line = std::dynamic_pointer_cast<Gtk::StringObject>(rows_->get_object(i));
        out.push_back(line ? std::string(line->get_string()) : std::string());
    }
    return out;
}

}  // namespace tarn
