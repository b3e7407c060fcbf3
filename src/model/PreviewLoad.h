#pragma once
#include <string>

namespace tarn {

// How a load of the preview ended, as the preview reports it to the controller.
struct PreviewLoad {
    enum class Outcome {
        shown,           // the server answered (whatever the status: a 500 or a 404 page shows too)
        nothingAnswers,  // nothing listens at a local address yet: the engine's error page is held back
        failed,          // any other failure: the engine shows its own page
    };
    std::string address;
    Outcome outcome = Outcome::shown;
};

// What the preview shows over the page while no page of the dev server can be shown.
enum class PreviewNotice { none, waitingForServer, serverNotRunning };

}  // namespace tarn
