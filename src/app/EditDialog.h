#pragma once
#include "support/GObjectPtr.h"
#include "support/Published.h"

#include <functional>
#include <gtk/gtk.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>
#include <gtkmm/window.h>
#include <string>

namespace tarn {

// A text to edit in a dialog of the main window (libadwaita's message dialog with an editor in
// it): shown while its flag is true, Escape or Cancel close it, and the action answers the default
// response (Ctrl+Return in the editor). After the action it stays until the controller closes it,
// so a failure keeps the text.
class EditDialog {
public:
    EditDialog(Gtk::Window& parent, Published<bool>& shown, Published<std::string>& text, const std::string& heading,
               const std::string& body, const std::string& actionLabel, int width, int editorHeight,
               std::function<void()> action);
    ~EditDialog();
    EditDialog(const EditDialog&) = delete;
    EditDialog& operator=(const EditDialog&) = delete;

    GtkWindow* window() const { return GTK_WINDOW(dialog_.get()); }
    bool visible() const { return gtk_widget_get_visible(dialog_.get()); }
    Gtk::TextView& editor() { return *editor_; }
    // A line said under the body while it is not empty.
    void showNotice(Published<std::string>& notice);
    // Answers as its buttons and keys do: "cancel" or "apply".
    void respond(const std::string& response);

private:
    static void onResponse(GtkWidget* dialog, const char* response, gpointer self);
    static gboolean onCloseRequest(GtkWindow* dialog, gpointer self);

    Published<bool>& shown_;
    std::function<void()> action_;
    GObjectPtr<GtkWidget> dialog_;
    Gtk::TextView* editor_;  // from edit-dialog.ui, owned by the dialog
    bool keepOpen_ = false;
    std::string body_;
};

}  // namespace tarn
