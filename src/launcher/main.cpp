#include "launcher/Launcher.h"

int main(int argc, char* argv[]) { return tarn::launcher::startServerThenExec(argc, argv, tarn::launcher::windowProgram()); }
