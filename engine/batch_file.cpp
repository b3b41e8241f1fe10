#include "engine/batch_file.h"

#include "engine/io/staged_file.h"
#include "engine/paths.h"

namespace kavendrum {

namespace {

constexpr const char* kLineEnd = "\r\n";

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

    std::string text;
    for (const std::string& line :
         {std::string("@echo off"), std::string("echo."),
          std::string("echo Created by Kavendrum. Reading split files:"), copy,
          std::string("echo."), "echo Done writing: " + EchoArgument(rebuilt)}) {
        text += line + kLineEnd;
    }
    return text;
}

bool WriteRejoinBatch(const std::string& folder, const std::string& base,
                      const std::string& extension, const std::vector<std::string>& pieceNames,
                      OperationHost& host, std::optional<FileIdentity> keepOut) {
    const std::string path = folder + kPathSeparator + base + ".bat";
    const auto text = BuildRejoinBatch(pieceNames, base, extension);
    // Written beside and renamed over its name: a link standing there is replaced, never followed.
    auto file = text ? StagedFile::Create(path) : FileResult<StagedFile>(FileError{});
    if (!file.ok()) {
        host.ShowMessageAbout("Create batch file error!", "Error", path,
                              text ? FileStatus(file.error()) : std::nullopt);
        return false;
    }
    if (auto failure = file.value().file().WriteLastAndClose(text->data(), text->size())) {
        host.ReportFileError(*failure);
        return false;
    }
    if (auto failure = file.value().PutInPlace(keepOut ? &*keepOut : nullptr)) {
        // Another name of the file being split is left as it is.
        const bool source = failure->cause == FileErrorCause::SharingViolation;
        host.ShowMessageAbout("Create batch file error!", "Error", path,
                              source ? std::nullopt : failure);
        return false;
    }
    file.value().Keep();
    return true;
}

}  // namespace kavendrum
