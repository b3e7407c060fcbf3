#include "app/Dialogs.h"
#include "app/PreferencesWindow.h"

#include "support/Translate.h"

namespace tarn {

PreferencesWindow::PreferencesWindow(Gtk::Window& parent, AppViewModel& model) : model_(model) {
    window_.reset(GTK_WIDGET(g_object_ref_sink(adw_preferences_window_new())));
    makeModal(GTK_WINDOW(window_.get()), parent.gobj());
    gtk_window_set_default_size(GTK_WINDOW(window_.get()), 560, 360);
    adw_preferences_window_set_search_enabled(ADW_PREFERENCES_WINDOW(window_.get()), FALSE);

    GtkWidget* page = adw_preferences_page_new();
    GtkWidget* group = adw_preferences_group_new();
    adw_preferences_group_set_title(ADW_PREFERENCES_GROUP(group), _("Editor"));
    adw_preferences_group_set_description(
        ADW_PREFERENCES_GROUP(group),
        _("The command that “Open in Editor” runs. {file} and {line} stand for the file and its line, for example "
          "“code --goto {file}:{line}”. Left empty, the file opens in the default application for its type."));
    editor_ = adw_entry_row_new();
    adw_preferences_row_set_title(ADW_PREFERENCES_ROW(editor_), _("Editor Command"));
    adw_entry_row_set_show_apply_button(ADW_ENTRY_ROW(editor_), TRUE);
    gtk_editable_set_text(GTK_EDITABLE(editor_), model_.editorCommand->c_str());
    g_signal_connect(editor_, "apply", G_CALLBACK(+[](AdwEntryRow* row, gpointer self) {
                         static_cast<PreferencesWindow*>(self)->model_.setEditorCommand(gtk_editable_get_text(GTK_EDITABLE(row)));
                     }),
                     this);
    adw_preferences_group_add(ADW_PREFERENCES_GROUP(group), editor_);
    adw_preferences_page_add(ADW_PREFERENCES_PAGE(page), ADW_PREFERENCES_GROUP(group));
    adw_preferences_window_add(ADW_PREFERENCES_WINDOW(window_.get()), ADW_PREFERENCES_PAGE(page));

    // The saved command, once read, unless the user is typing another.
    watch_ = model_.editorCommand.observe([this] {
        if (!gtk_widget_has_focus(editor_) && !gtk_widget_is_visible(window_.get())) {
            gtk_editable_set_text(GTK_EDITABLE(editor_), model_.editorCommand->c_str());
        }
    });
}

PreferencesWindow::~PreferencesWindow() {
    watch_.disconnect();
    gtk_window_destroy(GTK_WINDOW(window_.get()));
}

void PreferencesWindow::present() {
    gtk_editable_set_text(GTK_EDITABLE(editor_), model_.editorCommand->c_str());
    gtk_window_present(GTK_WINDOW(window_.get()));
}

}  // namespace tarn
