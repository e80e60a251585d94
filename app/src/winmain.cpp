// The program's entry point.
#include "startup.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    try {
        return tickwell::runProgram(instance, arguments != nullptr ? arguments : "");
    } catch (...) {
        return 1;
    }
}
