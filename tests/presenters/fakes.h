#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/presenters/form_view.h"
#include "ui/presenters/option_source.h"

namespace kavendrum::testing {

struct Box {
    std::string text;
    std::string caption;
    ui::BoxStyle style;
};

// Answers every box and dialog in place of a person, and keeps what they showed. Boxes are
// answered OK unless an answer was queued.
class FakeDialogs : public ui::DialogView {
  public:
    bool ShowBox(const std::string& text, const std::string& caption, ui::BoxStyle style) override {
        boxes.push_back({text, caption, style});
        if (answers.empty()) {
            return true;
        }
        const bool ok = answers.front();
        answers.pop_front();
        return ok;
    }
    std::string ChooseFileToOpen(const std::string& filter) override {
        filters.push_back(filter);
        return fileToChoose;
    }
    std::string ChooseFileToOpenIn(const std::string& filter, const std::string& folder) override {
        fileFoldersOffered.push_back(folder);
        return ChooseFileToOpen(filter);
    }
    std::optional<std::string> ChooseFolder(const std::string& initial) override {
        foldersOffered.push_back(initial);
        return folderToChoose;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Box& box : boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    std::vector<Box> boxes;
    std::deque<bool> answers;
    std::string fileToChoose;
    std::optional<std::string> folderToChoose;
    std::vector<std::string> filters;
    std::vector<std::string> foldersOffered;
    std::vector<std::string> fileFoldersOffered;
};

// Writes every call down as text, such as "SetStepRange(0,3,1)".
class FakeProgress : public ui::ProgressView {
  public:
    bool ShowInPane(const std::string& label, int widthPercent, int upperBound, int pane) override {
        calls.push_back("ShowInPane(" + label + "," + std::to_string(widthPercent) + "," +
                        std::to_string(upperBound) + "," + std::to_string(pane) + ")");
        return true;
    }
    bool SetWidthPercent(int percent) override {
        calls.push_back("SetWidthPercent(" + std::to_string(percent) + ")");
        return true;
    }
    bool SetStepRange(int lower, int upper, int step) override {
        calls.push_back("SetStepRange(" + std::to_string(lower) + "," + std::to_string(upper) +
                        "," + std::to_string(step) + ")");
        return true;
    }
    int SetPosition(int position) override {
        calls.push_back("SetPosition(" + std::to_string(position) + ")");
        return 0;
    }
    int Advance() override {
        calls.push_back("Advance");
        return 0;
    }
    void SetBusy(bool busy) override { busyChanges.push_back(busy); }

    std::vector<std::string> calls;
    std::vector<bool> busyChanges;
};

class FakeProfile : public ui::Profile {
  public:
    int ReadInt(const std::string& key, int fallback) const override {
        const auto found = values.find(key);
        return found != values.end() ? found->second : fallback;
    }
    void WriteInt(const std::string& key, int value) override { values[key] = value; }
    void Flush() override { ++flushes; }

    std::map<std::string, int> values;
    int flushes = 0;
};

// The options in force, with Store answering as told and recording what it was given.
class FakeOptions : public ui::OptionSource {
  public:
    const OptionSet& Options() const override { return inForce; }
    StoreResult Store(const OptionSet& values) override {
        stored.push_back(values);
        if (answer.status == StoreStatus::Stored) {
            inForce = values;
        }
        return answer;
    }

    OptionSet inForce;
    StoreResult answer{StoreStatus::Stored, {}};
    std::vector<OptionSet> stored;
};

}  // namespace kavendrum::testing
