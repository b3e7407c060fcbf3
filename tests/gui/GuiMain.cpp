// The window tests need GTK on a display (the README's test command provides one).
#include "app/TarnApp.h"

#include <gtest/gtest.h>
#include <gtkmm/init.h>
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    if (!gtk_init_check()) {
        fprintf(stderr, "window tests need a display: run them under xvfb-run\n");
        return 1;
    }
    Gtk::init_gtkmm_internals();
    tarn::TarnApp::loadResources();
    return RUN_ALL_TESTS();
}
