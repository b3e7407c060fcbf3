// The window tests need GTK on a display (the README's test command provides one).
#include "app/TarnApp.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <gtkmm/init.h>
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No accessibility bus under the test display: without these GTK waits on it and warns.
    setenv("NO_AT_BRIDGE", "1", 0);
    setenv("GTK_A11Y", "test", 0);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    // Drawn as the application draws on this machine (cairo without a GPU).
    tarn::TarnApp::chooseRenderer();
    if (!gtk_init_check()) {
        fprintf(stderr, "window tests need a display: run them under xvfb-run\n");
        return 1;
    }
    Gtk::init_gtkmm_internals();
    tarn::TarnApp::loadResources();
    return RUN_ALL_TESTS();
}
