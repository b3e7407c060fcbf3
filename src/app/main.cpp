#include "app/TarnApp.h"

int main(int argc, char* argv[]) { return tarn::TarnApp::create()->run(argc, argv); }
