#pragma once
#include "workspace/Browser.h"
#include "workspace/ServerSession.h"

#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/listview.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/stringlist.h>
#include <unordered_map>

namespace tarn {

// The page's console lines, then the server's, in one scrolling list under the preview: a list view
// over the two logs' models in a row. Their rows are appended and dropped to match the logs (never
// rebuilt), once per turn of the main loop however fast lines come; the list follows the end while
// the user is there.
class ConsolePane : public Gtk::Box {
public:
    ConsolePane(Browser& browser, ServerSession& session);

    // What the list holds now, in order, and the header's count.
    std::vector<std::string> lines() const;
    std::string countText() const { return count_.get_text(); }
    // "tarn-log-error", "tarn-log-warn" or "tarn-log-other" for a line of the list.
    static const char* styleOf(const std::string& line);
    // Whether the row at `position` offers "Ask Agent to Fix": an error, the first of its text.
    bool offersFix(guint position) const;

private:
    // Where a rolling log's rows stand in the list.
    struct Shown {
        std::uint64_t generation = 0;
        std::uint64_t first = 0;
        std::size_t count = 0;
    };
    template <typename T, typename F>
    void follow(const RollingList<T>& log, Shown& shown, Gtk::StringList& rows, F lineOf,
                std::unordered_map<std::string, std::uint64_t>& firsts, bool (*isError)(const std::string&));
    void sync();

    Browser& browser_;
    ServerSession& session_;
    Gtk::Label count_;
    Gtk::ScrolledWindow scroller_;
    Glib::RefPtr<Gtk::StringList> consoleRows_, serverRows_;
    Glib::RefPtr<Gio::ListModel> rows_;
    Gtk::ListView list_;
    Shown console_, server_;
    // Each error text's first line (by its index in its log), so that a repeat offers nothing.
    std::unordered_map<std::string, std::uint64_t> consoleFirsts_, serverFirsts_;
};

}  // namespace tarn
