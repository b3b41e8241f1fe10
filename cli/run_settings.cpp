#include "cli/run_settings.h"

#include "options/option_file.h"

namespace kavendrum {

int ExitFor(Outcome outcome) {
    switch (outcome) {
        case Outcome::Succeeded:
            return kSucceeded;
        case Outcome::Cancelled:
            return kCancelled;
        case Outcome::Failed:
        case Outcome::Interrupted:
            break;
    }
    return kFailed;
}

std::string Settings::optionFilePath() const {
    return optionsFile.empty() ? DefaultOptionFilePath() : optionsFile;
}

std::optional<OptionSet> LoadOptionSet(const std::string& path, OperationHost& host) {
    OptionSet options;
    const LoadResult loaded = LoadOptions(path, options);
    switch (loaded.status) {
        case LoadStatus::Loaded:
            return options;
        case LoadStatus::Failed:
            host.Notify(NoticeOf(NoticeId::InitFailed, path));
            break;
        case LoadStatus::Aborted:
            host.ReportFileError(loaded.error);
            break;
    }
    return std::nullopt;
}

}  // namespace kavendrum
