// The engine tests need GTK initialised on a display (the README's test command provides one).
#include <cstdlib>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No accessibility bus under the test display: without these GTK waits on it and warns.
    setenv("NO_AT_BRIDGE", "1", 0);
    setenv("GTK_A11Y", "none", 0);
    // Listing the tests needs no display.
    if (!GTEST_FLAG_GET(list_tests) && !gtk_init_check()) {
        fprintf(stderr, "engine tests need a display: run them under xvfb-run\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
