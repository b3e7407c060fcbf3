#include "app/Dialogs.h"
#include "app/ReviewDialog.h"

#include "app/Bind.h"
#include "app/Buttons.h"
#include "app/MessageRow.h"
#include "support/GObjectPtr.h"
#include "support/Translate.h"

#include <adwaita.h>
#include <gtkmm/builder.h>
#include <gtkmm/box.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/label.h>
#include <gtkmm/paned.h>
#include <gtksourceview/gtksource.h>

namespace tarn {

namespace {

// The diff's colours follow the window's style, light or dark.
void applyStyle(GtkSourceBuffer* buffer) {
    const bool dark = adw_style_manager_get_dark(adw_style_manager_get_default());
    auto* scheme = gtk_source_style_scheme_manager_get_scheme(gtk_source_style_scheme_manager_get_default(),
                                                              dark ? "Adwaita-dark" : "Adwaita");
    if (scheme) gtk_source_buffer_set_style_scheme(buffer, scheme);
}

std::string describe(const FileChange& change) {
    if (change.kind == FileChange::Kind::deleted) return _("Deleted");
    if (change.binary) return change.kind == FileChange::Kind::added ? _("Added, binary") : _("Changed, binary");
    return tr::format(change.kind == FileChange::Kind::added ? _("Added, +%1 −%2") : _("Changed, +%1 −%2"),
                      {std::to_string(change.addedLines), std::to_string(change.removedLines)});
}

}  // namespace

ReviewDialog::ReviewDialog(Gtk::Window& parent, ProjectHistory& history) : history_(history) {
    gtk_source_init();
    set_title(_("Review Changes"));
    makeModal(gobj(), parent.gobj());
    set_default_size(980, 640);

    auto builder = Gtk::Builder::create_from_resource("/dev/tarn/Tarn/ui/review-dialog.ui");
    title_ = GTK_WIDGET(builder->get_object("title")->gobj());
    files_ = builder->get_widget<Gtk::ListBox>("files");
    files_->signal_row_selected().connect([this](Gtk::ListBoxRow* row) {
        if (row) choose(row->get_index());
    });
    buffer_.reset(gtk_source_buffer_new(nullptr));
    if (auto* diff = gtk_source_language_manager_get_language(gtk_source_language_manager_get_default(), "diff")) {
        gtk_source_buffer_set_language(buffer_.get(), diff);
    }
    gtk_source_buffer_set_highlight_syntax(buffer_.get(), TRUE);
    applyStyle(buffer_.get());
    g_signal_connect_object(adw_style_manager_get_default(), "notify::dark",
                            G_CALLBACK(+[](GObject*, GParamSpec*, gpointer buffer) { applyStyle(GTK_SOURCE_BUFFER(buffer)); }),
                            buffer_.get(), G_CONNECT_DEFAULT);
    gtk_text_view_set_buffer(GTK_TEXT_VIEW(builder->get_object("view")->gobj()), GTK_TEXT_BUFFER(buffer_.get()));
    set_titlebar(*builder->get_widget<Gtk::HeaderBar>("header"));
    set_child(*builder->get_widget<Gtk::Paned>("panes"));

    signal_close_request().connect(
        [this] {
            history_.closeReview();
            return false;
        },
        false);
    bind::to(*this, history_.review, [this](const std::optional<ChangeReview>& review) {
        if (review) {
            show(*review);
            present();
        } else if (get_visible()) {
            set_visible(false);
        }
    });
}

void ReviewDialog::show(const ChangeReview& review) {
    while (auto* row = files_->get_row_at_index(0)) files_->remove(*row);
    listed_ = review.files;
    ReplyChanges counted;
    for (const auto& file : review.files) counted.files.push_back(file.change);
    std::string subtitle = MessageRow::summaryOf(counted);
    if (review.truncated) {
        subtitle += " · " + tr::format(_("the first %1 shown"), {std::to_string(ProjectHistory::reviewLimit)});
    }
    adw_window_title_set_subtitle(ADW_WINDOW_TITLE(title_), subtitle.c_str());

    for (const auto& file : review.files) {
        auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
        row->set_margin_top(4);
        row->set_margin_bottom(4);
        auto* path = Gtk::make_managed<Gtk::Label>(file.change.path);
        path->add_css_class("tarn-mono");
        path->set_xalign(0);
        path->set_ellipsize(Pango::EllipsizeMode::START);
        path->set_tooltip_text(file.change.path);
        auto* counts = Gtk::make_managed<Gtk::Label>(describe(file.change));
        counts->add_css_class("caption");
        counts->add_css_class("dim-label");
        counts->set_xalign(0);
        row->append(*path);
        row->append(*counts);
        files_->append(*row);
    }
    if (auto* first = files_->get_row_at_index(0)) files_->select_row(*first);
    choose(0);
}

void ReviewDialog::choose(int index) {
    std::string text;
    if (index >= 0 && static_cast<std::size_t>(index) < listed_.size()) {
        const auto& file = listed_[static_cast<std::size_t>(index)];
        text = file.change.binary || file.diff.empty() ? std::string(_("A binary file: its contents are not shown.")) : file.diff;
    }
    gtk_text_buffer_set_text(GTK_TEXT_BUFFER(buffer_.get()), text.c_str(), static_cast<int>(text.size()));
}

std::string ReviewDialog::shownDiff() const {
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(GTK_TEXT_BUFFER(buffer_.get()), &start, &end);
    GCharPtr text(gtk_text_buffer_get_text(GTK_TEXT_BUFFER(buffer_.get()), &start, &end, FALSE));
    return text ? text.get() : "";
}

}  // namespace tarn
