#include "app/TarnApp.h"

int main(int argc, char* argv[]) { return tarn::TarnApp::main(argc, argv); }
