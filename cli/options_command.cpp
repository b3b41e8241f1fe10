#include "cli/options_command.h"

#include <cstdio>

#include "cli/console_host.h"
#include "options/option_fields.h"
#include "options/option_file.h"

namespace kavendrum {

namespace {

// FIELD=NUMBER, then the value's name: the part before the blank reads back as it is.
void ShowOptions(const OptionSet& options) {
    for (const auto& field : OptionFields()) {
        const std::int32_t value = options.*field.member;
        std::printf("%s=%d (%s)\n", std::string(field.name).c_str(), value,
                    std::string(field.NameOf(value).name).c_str());
    }
}

std::string FieldNames() {
    std::string names;
    for (const auto& field : OptionFields()) {
        names += (names.empty() ? "" : ", ") + std::string(field.name);
    }
    return names;
}

// The field an assignment names; nothing, after saying why, for a field without a value or an
// unknown one.
const OptionField* AssignedField(const std::string& assignment) {
    const auto equals = assignment.find('=');
    const OptionField* field =
        equals == std::string::npos ? nullptr : FindOptionField(assignment.substr(0, equals));
    if (field != nullptr) {
        return field;
    }
    if (const OptionField* named = FindOptionField(assignment)) {
        std::fprintf(stderr, "kavendrum-cli: '%s' needs a value, such as %s=%s or %s=%s\n",
                     assignment.c_str(), assignment.c_str(), std::string(named->off.name).c_str(),
                     assignment.c_str(), std::string(named->on.name).c_str());
        return nullptr;
    }
    std::fprintf(stderr, "kavendrum-cli: unknown option field in '%s'\n", assignment.c_str());
    std::fprintf(stderr, "kavendrum-cli: the fields are %s\n", FieldNames().c_str());
    return nullptr;
}

// FIELD=VALUE pairs onto the set, VALUE a name or a number; false for an unknown field or a
// value that is neither.
bool ApplyAssignments(const std::vector<std::string>& assignments, OptionSet& options) {
    for (const auto& assignment : assignments) {
        const OptionField* field = AssignedField(assignment);
        if (field == nullptr) {
            return false;
        }
        const std::string text = assignment.substr(assignment.find('=') + 1);
        const auto value = ReadOptionValue(*field, text);
        if (!value) {
            std::fprintf(stderr, "kavendrum-cli: '%s' is neither %s, %s nor a 32-bit integer\n",
                         text.c_str(), std::string(field->off.name).c_str(),
                         std::string(field->on.name).c_str());
            return false;
        }
        options.*field->member = *value;
    }
    return true;
}

// A reset says nothing when it is done; a change of values says so.
int ReportStore(const StoreResult& stored, const std::string& path, ConsoleHost& host,
                bool sayDone) {
    switch (stored.status) {
        case StoreStatus::Stored:
            if (sayDone) {
                host.Notify(NoticeOf(NoticeId::OptionsChanged));
            }
            return kSucceeded;
        case StoreStatus::OpenFailed:
            host.Notify(NoticeOf(NoticeId::OptionFileNotSaved, path));
            break;
        case StoreStatus::WriteFailed:
            host.ReportFileError(stored.error);
            break;
    }
    return kFailed;
}

}  // namespace

int OptionsCommand(const Settings& settings, const OptionsArguments& arguments) {
    Voice voice = settings.voice();
    voice.progress = false;
    ConsoleHost host(settings.answering(), voice);
    const std::string path = settings.optionFilePath();
    auto options = LoadOptionSet(path, host);
    if (!options) {
        return kFailed;
    }
    if (arguments.action == "show") {
        ShowOptions(*options);
        return kSucceeded;
    }
    if (arguments.action == "reset") {
        if (!host.Ask({.id = QuestionId::ResetOptions, .path = path})) {
            return kCancelled;
        }
        return ReportStore(StoreOptions(path, OptionSet{}, *options), path, host, false);
    }
    OptionSet values = *options;
    if (!ApplyAssignments(arguments.assignments, values)) {
        return kUsage;
    }
    return ReportStore(StoreOptions(path, values, *options), path, host, true);
}

}  // namespace kavendrum
