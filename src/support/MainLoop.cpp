#include "support/MainLoop.h"

#include "support/GObjectPtr.h"

#include <glib.h>
#include <iostream>

namespace tarn {

namespace {

std::function<void(std::exception_ptr)>& uncaughtHandler() {
    static std::function<void(std::exception_ptr)> handler;
    return handler;
}

gboolean runPosted(gpointer data) {
    static_cast<detail::PostedWork*>(data)->run();
    return G_SOURCE_REMOVE;
}

void destroyPosted(gpointer data) { delete static_cast<detail::PostedWork*>(data); }

}  // namespace

void detail::postWork(std::unique_ptr<PostedWork> work, bool whenIdle) {
    // An idle source at default priority: sources of equal priority run in the order attached,
    // and attaching never runs anything inline.
    GPtr<GSource, g_source_unref> source(g_idle_source_new());
    // Frames are drawn at a priority between the two.
    g_source_set_priority(source.get(), whenIdle ? G_PRIORITY_DEFAULT_IDLE : G_PRIORITY_DEFAULT);
    g_source_set_callback(source.get(), runPosted, work.release(), destroyPosted);
    g_source_attach(source.get(), nullptr);
}

void setUncaughtErrorHandler(std::function<void(std::exception_ptr)> handler) { uncaughtHandler() = std::move(handler); }

void reportUncaughtError(std::exception_ptr error) {
    if (uncaughtHandler()) {
        uncaughtHandler()(error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::cerr << "tarn: unhandled error in a task: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "tarn: unhandled non-standard error in a task" << std::endl;
    }
}

}  // namespace tarn
