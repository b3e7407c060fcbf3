// The engine tests need GTK initialised on a display (the README's test command provides one).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (!GTEST_FLAG_GET(list_tests) && !gtk_init_check()) {
        fprintf(stderr, "engine tests need a display: run them under xvfb-run\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
