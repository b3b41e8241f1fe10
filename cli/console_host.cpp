#include "cli/console_host.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cctype>
#include <cstdio>
#include <iostream>

namespace kavendrum {

namespace {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(fileno(stream)) != 0;
#endif
}

bool IsOkAnswer(std::string line) {
    for (auto& c : line) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return line == "ok" || line == "o" || line == "y" || line == "yes";
}

}  // namespace

std::string TerminalText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

ConsoleHost::ConsoleHost(Answering answering, bool showProgress)
    : m_answering(answering), m_progress(stderr, showProgress && IsTerminal(stderr)) {}

void ConsoleHost::ShowMessage(const std::string& text, const std::string& caption) {
    m_progress.Clear();
    if (caption == "Error") {
        std::fprintf(stderr, "Error: %s\n", TerminalText(text).c_str());
        if (!m_reason.empty() && text == m_explained) {
            std::fprintf(stderr, "%s\n", m_reason.c_str());
        }
    } else if (caption == "Message") {
        std::fprintf(stdout, "%s\n", TerminalText(text).c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stdout, "%s: %s\n", caption.c_str(), TerminalText(text).c_str());
        std::fflush(stdout);
    }
}

bool ConsoleHost::AskOkCancel(const std::string& text, const std::string& caption) {
    m_progress.Clear();
    switch (m_answering) {
        case Answering::AlwaysOk:
            return true;
        case Answering::AlwaysCancel:
            return false;
        case Answering::Ask:
            break;
    }
    // Nobody at a terminal to answer: the safe answer is the one that writes nothing.
    if (!IsTerminal(stdin)) {
        return false;
    }
    std::fprintf(stderr, "%s: %s [OK/Cancel] ", caption.c_str(), TerminalText(text).c_str());
    std::fflush(stderr);
    std::string line;
    return std::getline(std::cin, line) && IsOkAnswer(line);
}

void ConsoleHost::ReportFileError(const FileError& error) {
    m_progress.Clear();
    std::fprintf(stderr, "Kavendrum: %s\n", FileErrorText(error).c_str());
}

bool ConsoleHost::ShowInPane(const std::string&, int, int upperBound, int) {
    return SetStepRange(0, upperBound, 1);
}

bool ConsoleHost::SetWidthPercent(int) {
    return true;
}

bool ConsoleHost::SetStepRange(int, int upper, int) {
    m_progress.SetRange(upper);
    return true;
}

int ConsoleHost::SetPosition(int position) {
    return m_progress.SetPosition(position);
}

int ConsoleHost::Advance() {
    return m_progress.Advance();
}

}  // namespace kavendrum
