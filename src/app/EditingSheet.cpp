#include "app/EditingSheet.h"
#include "app/Icons.h"

namespace tarn {

EditingSheet::EditingSheet(Gtk::Window& parent, Published<bool>& shown, int width, const std::string& title,
                           const std::string& help, int editorHeight, const std::string& actionLabel,
                           std::function<void()> action)
    : Sheet(parent, shown, width), title_(title), help_(help), action_(actionLabel) {
    add_css_class("tarn-edit-sheet");
    set_title(title);
    title_.add_css_class("title-3");
    title_.set_xalign(0);
    help_.add_css_class("caption");
    help_.add_css_class("tarn-secondary");
    help_.set_xalign(0);
    help_.set_wrap(true);
    editor_.set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
    editor_.add_css_class("tarn-body-rounded");
    setAccessibleLabel(editor_, title);
    editorFrame_.add_css_class("tarn-sheet-editor");
    editorFrame_.set_child(editor_);
    editorFrame_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    editorFrame_.set_size_request(-1, editorHeight);
    editorFrame_.set_vexpand(true);

    auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    row->set_halign(Gtk::Align::END);
    cancel_.signal_clicked().connect([this] { dismiss(); });
    action_.add_css_class("suggested-action");
    action_.signal_clicked().connect(std::move(action));
    row->append(cancel_);
    row->append(action_);

    content().append(title_);
    content().append(help_);
    content().append(editorFrame_);
    content().append(*row);
    set_default_widget(action_);
}

void EditingSheet::appearing() { editor_.grab_focus(); }

}  // namespace tarn
