// The baseline for Tarn's start-up and memory: the least a GTK 4 window with a WebKitGTK view
// needs to show a local page. Prints "first-frame <monotonic µs>" at its first frame and "loaded"
// once the page has loaded (its load finished without failing), then runs until it is ended.
#include <gtk/gtk.h>
#include <stdio.h>
#include <webkit/webkit.h>

static gboolean firstFrame(GtkWidget*, GdkFrameClock*, gpointer) {
    printf("first-frame %lld\n", static_cast<long long>(g_get_monotonic_time()));
    fflush(stdout);
    return G_SOURCE_REMOVE;
}

static void loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer) {
    if (event != WEBKIT_LOAD_FINISHED) return;
    printf("loaded\n");
    fflush(stdout);
}

static void activate(GtkApplication* app, gpointer url) {
    GtkWidget* window = gtk_application_window_new(app);
    gtk_window_set_default_size(GTK_WINDOW(window), 1440, 900);
    GtkWidget* view = webkit_web_view_new();
    g_signal_connect(view, "load-changed", G_CALLBACK(loadChanged), nullptr);
    gtk_window_set_child(GTK_WINDOW(window), view);
    gtk_widget_add_tick_callback(window, firstFrame, nullptr, nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), static_cast<const char*>(url));
    gtk_window_present(GTK_WINDOW(window));
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s URL\n", argv[0]);
        return 2;
    }
    GtkApplication* app = gtk_application_new("dev.tarn.MinimalWindow", G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(activate), argv[1]);
    char* args[] = {argv[0], nullptr};
    return g_application_run(G_APPLICATION(app), 1, args);
}
