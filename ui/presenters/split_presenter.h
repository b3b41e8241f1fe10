#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/presenters/form_view.h"
#include "ui/presenters/option_source.h"

namespace kavendrum::ui {

// What the split form's controls hold, as text.
struct SplitFields {
    std::string destFolder;
    std::string sourcePath;
    int sizeMode = -1;  // the radio group: 0 "Fixed Size", 1 "Customize Size", -1 neither
    std::string customSize;
};

// What the split presenter needs of its form's widgets.
class SplitView {
  public:
    // Rows of the parameter list.
    enum Row { kSplitFileName, kDestinationFolder, kOriginalSize, kSplitSize, kPieceCount };

    virtual ~SplitView() = default;

    virtual SplitFields ReadFields() const = 0;
    // Writes the fields without raising the form's own change handlers.
    virtual void WriteFields(const SplitFields& fields) = 0;
    // Writes the destination as typing would, so that its change handler follows.
    virtual void TypeDestination(const std::string& folder) = 0;
    virtual std::string SelectedPreset() const = 0;
    virtual void SetParameter(Row row, const std::string& value) = 0;
    virtual void SetSizeLabel(const std::string& text) = 0;
    // Fixed size: the presets on and the custom size off; the reverse otherwise.
    virtual void EnableSizeChoice(bool fixed) = 0;
    // After a refused custom size: the focus to its field, its text selected.
    virtual void SelectCustomSize() = 0;
    virtual bool WriteChecksums() const = 0;
    virtual void SetWriteChecksums(bool on) = 0;
    // The "Recovery pieces" choice: how many lost pieces the recovery files are to rebuild, 0
    // for none. A form without the choice writes none.
    virtual int RecoveryPieces() const { return 0; }
    virtual void SetRecoveryPieces(int /*count*/) {}
};

// The split form's members and decisions: the source, the destination and the piece size, the
// parameters that follow from them, and what Start and the Browse buttons do.
class SplitPresenter : public FormHost {
  public:
    static constexpr std::array<const char*, 14> kPresets = {
        "32768",   "65536",   "131072",  "262144",   "524288",   "1048576",  "1457664",
        "2097152", "4194304", "8388608", "16777216", "33554432", "67108864", "100431872"};
    static constexpr int kDefaultPreset = 6;
    static constexpr const char* kChecksumsSetting = "Split/WriteChecksums";
    static constexpr const char* kRecoverySetting = "Split/RecoveryPieces";

    SplitPresenter(SplitView& view, DialogView& dialogs, ProgressView& progress, Profile& profile,
                   const OptionSource* options);

    // How a reading treats a custom size that is no valid size.
    enum class Refusal { Shown, Quiet };

    // Controls into members (true) or members into controls (false). The custom size is read
    // only in custom mode; there a reading fails when it is no valid size, after the
    // framework's notice unless the reading is to be quiet.
    bool UpdateData(bool bSaveAndValidate = true, Refusal refusal = Refusal::Shown);
    // The members a new form starts with, once it is first shown.
    void FirstInit();
    // The form cannot work without the frame's options: false after "System error!".
    bool FrameOrSystemError();
    // The checksum box's state and the recovery choice kept in the profile.
    void LoadChecksums();

    void OnStart();
    void OnPresetChanged();
    void OnBrowseFile();
    void OnSourceChanged();
    void OnDestinationChanged();
    void OnCustomSizeChanged();
    void OnFixedSize();
    void OnCustomSize();
    void OnBrowseFolder();
    void OnChecksumsClicked();
    void OnRecoveryChanged();
    void RecalcParameters(Refusal refusal = Refusal::Shown);

    bool HasOptions() const { return m_pOptions != nullptr; }

    std::string m_strDestFolder;
    std::string m_strSourcePath;
    int m_nSizeMode = -1;
    std::uint32_t m_dwCustomSize = 0;
    bool m_bFirstInit = true;

  private:
    void Refuse(const std::string& text);
    std::uint32_t SelectedPresetSize() const;

    SplitView& m_view;
    Profile& m_profile;
    const OptionSource* m_pOptions;
};

// "(1424K)": the size label of a preset.
std::string PresetLabel(std::uint32_t presetSize);
// "3000000 ( 2930 KB)": a size with its kilobytes, as the parameter list shows it.
std::string SizeWithKilobytes(std::uint64_t bytes);

// The custom size as the framework reads it: an unsigned decimal number from `lowest` to
// `highest`; otherwise the notice to show.
struct CustomSizeRead {
    std::optional<std::uint32_t> size;
    std::string refusal;
};
CustomSizeRead ReadCustomSize(const std::string& text, std::uint32_t lowest, std::uint32_t highest);

}  // namespace kavendrum::ui
