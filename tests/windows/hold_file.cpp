// Holds a file open without sharing, as another program might, until the given file appears.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hold_file FILE RELEASE-WHEN-THIS-EXISTS\n");
        return 2;
    }
    const HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open %s\n", argv[1]);
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    for (int waited = 0; waited < 600 && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES;
         ++waited) {
        Sleep(100);
    }
    CloseHandle(held);
    return 0;
}
