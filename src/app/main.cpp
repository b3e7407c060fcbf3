#include "app/TarnApp.h"

#include "support/Trace.h"
int main(int argc, char* argv[]) { tarn::trace::mark("main"); return tarn::TarnApp::create()->run(argc, argv); }
