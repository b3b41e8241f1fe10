// Asks every running Kavendrum desktop program to write its window dump anew, as the window
// tests do between their steps.
#include <windows.h>

int main() {
    const UINT message = RegisterWindowMessageA("KavendrumDumpWindow");
    return message != 0 && PostMessageA(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
}
