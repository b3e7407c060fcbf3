#pragma once
#include <gtkmm/applicationwindow.h>

namespace tarn {

class MainWindow : public Gtk::ApplicationWindow {
public:
    MainWindow();
};

}  // namespace tarn
