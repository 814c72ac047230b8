#include "app/program.h"

// A GUI program: no console, no command line read.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RunProgram();
}
