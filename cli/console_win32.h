#pragma once

namespace kavendrum {

// The program writes its text in its own code page (UTF-8, as its manifest asks), and a console
// shows bytes in the console's code page, an OEM one unless somebody changed it: while this
// lives, a console that standard output or standard error goes to reads them as the program
// means them. The console's code page comes back at the end, since the console outlives the
// program and belongs to its shell. Pipes and files get the bytes unchanged.
class ConsoleCodePage {
  public:
    ConsoleCodePage();
    ~ConsoleCodePage();
    ConsoleCodePage(const ConsoleCodePage&) = delete;
    ConsoleCodePage& operator=(const ConsoleCodePage&) = delete;

  private:
    unsigned m_previous = 0;  // 0: the console was left alone
};

}  // namespace kavendrum
