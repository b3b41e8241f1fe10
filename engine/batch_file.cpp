#include "engine/batch_file.h"

#include "engine/io/staged_file.h"
#include "engine/paths.h"
#include "engine/piece_set.h"

namespace kavendrum {

namespace {

constexpr const char* kLineEnd = "\r\n";

// The command interpreter reads at most 8191 characters a line. Lines are kept to half of that,
// counted in bytes (never fewer than the characters the interpreter sees, in any code page), so
// that what it adds or a stricter interpreter still leaves room.
constexpr std::size_t kLongestLine = 4096;
constexpr const char* kOnFailure = "if errorlevel 1 goto failed";

bool IsPlainNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

bool CanBeWritten(const std::string& name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

// "%" would start a variable even inside quotes.
std::string DoublePercents(const std::string& name) {
    std::string out;
    for (const char c : name) {
        out += c;
        if (c == '%') {
            out += '%';
        }
    }
    return out;
}

// A name as an argument of copy: quoted unless it is made of plain characters only, so that
// blanks, commas, semicolons and "&" cannot cut it or start another command.
std::string CopyArgument(const std::string& name) {
    bool plain = !name.empty();
    for (const char c : name) {
        plain = plain && IsPlainNameCharacter(c);
    }
    const std::string text = DoublePercents(name);
    return plain ? text : "\"" + text + "\"";
}

// A name echoed as text: quotes would be printed, so the interpreter's operators are escaped.
std::string EchoArgument(const std::string& name) {
    std::string out;
    for (const char c : DoublePercents(name)) {
        if (c == '&' || c == '|' || c == '<' || c == '>' || c == '^') {
            out += '^';
        }
        out += c;
    }
    return out;
}

// The copy lines of a set too long for one line: the first writes the rebuilt file from the first
// pieces, each further one appends the next pieces to it. Each is followed by a jump to "failed"
// when it failed ("||" is not honoured after copy by every interpreter; the error level is).
std::vector<std::string> CopyLines(const std::vector<std::string>& pieces,
                                   const std::string& rebuilt) {
    const std::string target = CopyArgument(rebuilt);
    const std::string end = " " + target;
    std::vector<std::string> lines;
    std::string line;
    for (const auto& piece : pieces) {
        const std::string argument = CopyArgument(piece);
        // A line holds one piece at the least, however long the names.
        if (!line.empty() && line.size() + 3 + argument.size() + end.size() > kLongestLine) {
            lines.push_back(line + end);
            lines.push_back(kOnFailure);
            line.clear();
        }
        if (line.empty()) {
            line = lines.empty() ? "copy /b " + argument : "copy /b " + target + " + " + argument;
        } else {
            line += " + " + argument;
        }
    }
    lines.push_back(line + end);
    lines.push_back(kOnFailure);
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + kLineEnd;
    }
    return text;
}

}  // namespace

std::optional<std::string> BuildRejoinBatch(const std::vector<std::string>& pieceNames,
                                            const std::string& base, const std::string& extension) {
    const std::string rebuilt = RebuiltFileName(base, extension);
    if (!CanBeWritten(rebuilt)) {
        return std::nullopt;
    }
    std::string copy = "copy /b ";
    for (const auto& piece : pieceNames) {
        if (!CanBeWritten(piece)) {
            return std::nullopt;
        }
        copy += CopyArgument(piece);
        copy += " + ";
    }
    copy.erase(copy.size() - 3);
    copy += ' ';
    copy += CopyArgument(rebuilt);

    const std::string heading = "echo Created by Kavendrum. Reading split files:";
    const std::string done = "echo Done writing: " + EchoArgument(rebuilt);
    if (copy.size() <= kLongestLine) {
        return Joined({"@echo off", "echo.", heading, copy, "echo.", done});
    }
    // Too many pieces for one line: several copy lines, and the closing lines only once the
    // file is there.
    std::vector<std::string> lines{"@echo off", "echo.", heading};
    for (auto& line : CopyLines(pieceNames, rebuilt)) {
        lines.push_back(std::move(line));
    }
    for (const std::string& line :
         {"if not exist " + CopyArgument(rebuilt) + " goto failed", std::string("echo."), done,
          std::string("goto end"), std::string(":failed"), std::string("echo."),
          "echo Could not write: " + EchoArgument(rebuilt), std::string(":end")}) {
        lines.push_back(line);
    }
    return Joined(lines);
}

bool WriteRejoinBatch(const std::string& folder, const std::string& base,
                      const std::string& extension, const std::vector<std::string>& pieceNames,
                      OperationHost& host, std::optional<FileIdentity> keepOut) {
    const std::string path = PieceSet::InFolder(folder + kPathSeparator, base).BatchPath();
    const auto text = BuildRejoinBatch(pieceNames, base, extension);
    // Written beside and renamed over its name: a link standing there is replaced, never followed.
    auto file = text ? StagedFile::Create(path) : FileResult<StagedFile>(FileError{});
    if (!file.ok()) {
        host.Notify(NoticeOf(NoticeId::BatchFileNotCreated, path,
                             text ? FileStatus(file.error()) : std::nullopt));
        return false;
    }
    if (auto failure = file.value().file().WriteLastAndClose(text->data(), text->size())) {
        host.ReportFileError(*failure);
        return false;
    }
    if (auto failure = file.value().PutInPlace(keepOut ? &*keepOut : nullptr)) {
        // Another name of the file being split is left as it is.
        const bool source = failure->cause == FileErrorCause::SharingViolation;
        host.Notify(NoticeOf(NoticeId::BatchFileNotCreated, path, source ? std::nullopt : failure));
        return false;
    }
    file.value().Keep();
    return true;
}

}  // namespace kavendrum
