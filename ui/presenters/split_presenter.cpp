#include "ui/presenters/split_presenter.h"

#include <charconv>

#include "engine/io/file.h"
#include "engine/paths.h"
#include "engine/split_operation.h"

namespace kavendrum::ui {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

// The whole text as an unsigned decimal number, or nothing.
std::optional<std::uint64_t> UnsignedDecimal(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// The count the split would make, as the list shows it; nothing without a size (no preset chosen
// yet) or for a count the head file cannot hold.
std::string PieceCountText(std::uint64_t fileSize, std::uint32_t pieceSize) {
    const auto plan = PlanSplit(fileSize, pieceSize);
    return plan ? std::to_string(plan->pieceCount) : std::string();
}

}  // namespace

std::string PresetLabel(std::uint32_t presetSize) {
    // Appended piece by piece: GCC 12 at -O3 takes "(" + a temporary for an overlapping copy.
    std::string label("(");
    label += std::to_string(presetSize / 1024 + 1);
    label += "K)";
    return label;
}

std::string SizeWithKilobytes(std::uint64_t bytes) {
    return std::to_string(bytes) + " ( " + std::to_string(bytes / 1024 + 1) + " KB)";
}

CustomSizeRead ReadCustomSize(const std::string& text, std::uint32_t lowest,
                              std::uint32_t highest) {
    // At most ten digits and no sign: what fits an unsigned 32-bit field.
    const std::string trimmed = Trimmed(text);
    const auto value =
        trimmed.size() <= 10 && trimmed.find_first_not_of("0123456789") == std::string::npos
            ? UnsignedDecimal(trimmed)
            : std::nullopt;
    if (!value || *value > 0xFFFFFFFFull) {
        return {std::nullopt, TextOf(NoticeOf(NoticeId::NotAPositiveInteger))};
    }
    if (*value < lowest || *value > highest) {
        Notice refusal = NoticeOf(NoticeId::IntegerOutOfRange);
        refusal.needed = lowest;
        refusal.available = highest;
        return {std::nullopt, TextOf(refusal)};
    }
    return {static_cast<std::uint32_t>(*value), std::string()};
}

SplitPresenter::SplitPresenter(SplitView& view, DialogView& dialogs, ProgressView& progress,
                               Profile& profile, const OptionSource* options)
    : FormHost(dialogs, progress), m_view(view), m_profile(profile), m_pOptions(options) {}

bool SplitPresenter::UpdateData(bool bSaveAndValidate, Refusal refusal) {
    if (!bSaveAndValidate) {
        m_view.WriteFields(
            {m_strDestFolder, m_strSourcePath, m_nSizeMode, std::to_string(m_dwCustomSize)});
        return true;
    }
    // The fields bound before the custom size are read all the same when it is refused.
    const SplitFields fields = m_view.ReadFields();
    m_strDestFolder = fields.destFolder;
    m_strSourcePath = fields.sourcePath;
    m_nSizeMode = fields.sizeMode;
    const CustomSizeRead read = ReadCustomSize(fields.customSize, 1, kLargestCustomPieceSize);
    if (read.size) {
        m_dwCustomSize = *read.size;
        return true;
    }
    // A greyed-out field the user cannot mend must not stop every keystroke elsewhere.
    if (m_nSizeMode != 1) {
        return true;
    }
    if (refusal == Refusal::Shown) {
        Refuse(read.refusal);
    }
    return false;
}

void SplitPresenter::Refuse(const std::string& text) {
    Dialogs().ShowBox(text, "Kavendrum", BoxStyle::Warning);
    m_view.SelectCustomSize();
}

void SplitPresenter::FirstInit() {
    m_nSizeMode = 0;
    m_dwCustomSize = kDefaultPieceSize;
    UpdateData(false);
    m_view.EnableSizeChoice(true);
}

bool SplitPresenter::FrameOrSystemError() {
    if (m_pOptions != nullptr) {
        return true;
    }
    Dialogs().Show(NoticeOf(NoticeId::SystemError));
    return false;
}

void SplitPresenter::LoadChecksums() {
    m_view.SetWriteChecksums(m_profile.ReadInt(kChecksumsSetting, 0) != 0);
    // A profile value out of range is read as none: it is only a choice of the form.
    const int recovery = m_profile.ReadInt(kRecoverySetting, 0);
    m_view.SetRecoveryPieces(recovery > 0 ? recovery : 0);
}

void SplitPresenter::OnRecoveryChanged() {
    const int count = m_view.RecoveryPieces();
    m_profile.WriteInt(kRecoverySetting, count > 0 ? count : 0);
}

std::uint32_t SplitPresenter::SelectedPresetSize() const {
    const auto value = UnsignedDecimal(Trimmed(m_view.SelectedPreset()));
    return value && *value <= 0xFFFFFFFFull ? static_cast<std::uint32_t>(*value) : 0;
}

void SplitPresenter::OnPresetChanged() {
    m_view.SetSizeLabel(PresetLabel(SelectedPresetSize()));
    RecalcParameters();
}

// The source and destination fields never bring the custom size's notice: it belongs to the
// custom size field, to the choice of custom mode and to Start.
void SplitPresenter::OnBrowseFile() {
    UpdateData(true, Refusal::Quiet);
    const std::string chosen =
        Dialogs().ChooseFileToOpenIn(std::string(), StartFolderFor(m_strSourcePath));
    if (chosen.empty()) {
        return;
    }
    m_strSourcePath = chosen;
    m_strDestFolder = GetFolderPart(chosen);
    UpdateData(false);
    RecalcParameters(Refusal::Quiet);
}

void SplitPresenter::OnSourceChanged() {
    UpdateData(true, Refusal::Quiet);
    m_view.SetParameter(SplitView::kSplitFileName, m_strSourcePath);
    // The destination follows every change of the source.
    m_strDestFolder = GetFolderPart(m_strSourcePath);
    UpdateData(false);
    RecalcParameters(Refusal::Quiet);
}

void SplitPresenter::OnDestinationChanged() {
    UpdateData(true, Refusal::Quiet);
    m_view.SetParameter(SplitView::kDestinationFolder, m_strDestFolder);
}

void SplitPresenter::OnCustomSizeChanged() {
    RecalcParameters();
}

void SplitPresenter::OnFixedSize() {
    m_view.EnableSizeChoice(true);
    RecalcParameters();
}

void SplitPresenter::OnCustomSize() {
    m_view.EnableSizeChoice(false);
    RecalcParameters();
}

void SplitPresenter::OnBrowseFolder() {
    UpdateData(true, Refusal::Quiet);
    const auto chosen = Dialogs().ChooseFolder(m_strDestFolder);
    if (!chosen) {
        return;
    }
    // Written through the field, so that its change handler follows as for typing.
    m_view.TypeDestination(*chosen);
}

void SplitPresenter::OnChecksumsClicked() {
    m_profile.WriteInt(kChecksumsSetting, m_view.WriteChecksums() ? 1 : 0);
    m_profile.Flush();
}

void SplitPresenter::RecalcParameters(Refusal refusal) {
    const bool valid = UpdateData(true, refusal);
    if (!valid && m_nSizeMode == 1) {
        return;
    }
    m_view.SetParameter(SplitView::kSplitFileName, m_strSourcePath);
    m_view.SetParameter(SplitView::kDestinationFolder, m_strDestFolder);
    auto source = File::OpenForReading(m_strSourcePath);
    const auto length = source.ok() ? source.value().Length() : FileResult<std::uint64_t>(0);
    if (!source.ok() || !length.ok()) {
        m_view.SetParameter(SplitView::kSplitSize, std::string());
        return;
    }
    source.value().Close();
    const std::uint64_t size = length.value();
    m_view.SetParameter(SplitView::kOriginalSize, SizeWithKilobytes(size));
    // Every piece count is one more than the whole pieces, as the split counts them.
    if (m_nSizeMode == 1) {
        m_view.SetParameter(SplitView::kSplitSize, SizeWithKilobytes(m_dwCustomSize));
        m_view.SetParameter(SplitView::kPieceCount, PieceCountText(size, m_dwCustomSize));
        return;
    }
    const std::uint32_t preset = SelectedPresetSize();
    m_view.SetParameter(SplitView::kSplitSize, m_view.SelectedPreset() + " ( " +
                                                   std::to_string(preset / 1024 + 1) + " KB)");
    // No preset chosen yet: there is no count to show.
    m_view.SetParameter(SplitView::kPieceCount, PieceCountText(size, preset));
}

void SplitPresenter::OnStart() {
    const BusyScope busy(Progress());
    const bool valid = UpdateData(true);
    if (!valid && m_nSizeMode == 1) {
        return;
    }
    SplitRequest request;
    request.sourcePath = m_strSourcePath;
    request.destinationFolder = m_strDestFolder;
    request.pieceSize = m_nSizeMode == 1 ? m_dwCustomSize : SelectedPresetSize();
    request.writeChecksums = m_view.WriteChecksums();
    const int recovery = m_view.RecoveryPieces();
    request.recovery.amount.value = recovery > 0 ? static_cast<std::uint32_t>(recovery) : 0;
    const COperationScope running;
    RunSplit(request, m_pOptions != nullptr ? &m_pOptions->Options() : nullptr, *this);
}

}  // namespace kavendrum::ui
