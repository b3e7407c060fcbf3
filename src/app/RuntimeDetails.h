#pragma once
#include "workspace/AppViewModel.h"

#include <gtk/gtk.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/listbox.h>
#include <gtkmm/menubutton.h>

namespace tarn {

// The collapsible "Runtime & Agent Details" row: which agent tools are installed, the install and
// dev commands in use, where the instructions file is, a way to plan them again, and presets that
// fill the composer. Starts collapsed and keeps what the user chose.
class RuntimeDetails : public Gtk::Box {
public:
    explicit RuntimeDetails(AppViewModel& model);

    struct Preset {
        const char* title;
        const char* prompt;
        bool planMode;
    };
    static const std::vector<Preset>& presets();

private:
    GtkWidget* detailRow(const char* title);

    AppViewModel& model_;
    Gtk::ListBox list_;
    GtkWidget* expander_;
    GtkWidget *status_, *install_, *dev_, *instructions_, *agentLog_;
    Gtk::Button refresh_;
    Gtk::MenuButton presets_;
};

}  // namespace tarn
