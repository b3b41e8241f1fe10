// The Windows desktop program: the drop window and the main frame over the shared presenters.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include <string>

#include "engine/folders.h"
#include "options/option_file.h"
#include "win32/command_line.h"
#include "win32/drag_window.h"
#include "win32/main_frame.h"

using namespace kavendrum;
using namespace kavendrum::win32;

namespace {

void PlaceDragWindow(CDragWindow& dragWindow, const ui::Profile& profile) {
    if (dragWindow.Handle() == nullptr) {
        return;
    }
    const ui::ProfilePoint start = ui::DropWindowStart(profile);
    // Always on top: the template's system-modal style says so, but not every system reads it
    // that way, so it is asked for in so many words.
    SetWindowPos(dragWindow.Handle(), HWND_TOPMOST, start.left, start.top, 0, 0,
                 SWP_NOSIZE | SWP_SHOWWINDOW);
    ShowWindow(dragWindow.Handle(), SW_SHOW);
}

int RunMessageLoop(CMainFrame& frame, CDragWindow& dragWindow) {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (frame.TranslateForLoop(message)) {
            continue;
        }
        if (dragWindow.Handle() != nullptr && IsDialogMessageA(dragWindow.Handle(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (FAILED(OleInitialize(nullptr))) {
        MessageBoxA(nullptr, "Ole Initialization Failed", "Kavendrum", MB_OK);
        return 0;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const StartArguments arguments = ParseStartArguments(GetCommandLineA());

    CMainFrame frame(GetProgramFolder() + kOptionFileName, arguments.startArgument,
                     arguments.dumpPath);
    CDragWindow dragWindow;
    dragWindow.Create();
    const bool firstRun = !ui::HasDropWindowPlace(frame.Profile());
    PlaceDragWindow(dragWindow, frame.Profile());
    if (!frame.Create()) {
        OleUninitialize();
        return 0;
    }
    frame.LinkDragWindow(&dragWindow);
    // The show state the program was started with is not used.
    ShowWindow(frame.Handle(), SW_SHOW);
    UpdateWindow(frame.Handle());
    if (firstRun) {
        PlaceDragWindowBeside(dragWindow, frame.Handle());
    }
    const int code = RunMessageLoop(frame, dragWindow);
    OleUninitialize();
    return code;
}
