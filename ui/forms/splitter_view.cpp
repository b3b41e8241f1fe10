#include "ui/forms/splitter_view.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QSettings>

#include "engine/io/file.h"
#include "engine/paths.h"
#include "engine/split_operation.h"
#include "ui/controls/etched_group_box.h"
#include "ui/controls/etched_palette.h"
#include "ui/forms/blocked_signals.h"
#include "ui/forms/custom_size.h"
#include "ui/forms/modal_dialogs.h"
#include "ui/shell/main_frame.h"

namespace kavendrum::ui {

namespace {

const char* const kPresets[] = {"32768",    "65536",    "131072",   "262144",   "524288",
                                "1048576",  "1457664",  "2097152",  "4194304",  "8388608",
                                "16777216", "33554432", "67108864", "100431872"};
constexpr int kDefaultPreset = 6;
// The size label's place, in pixels of the template's font.
const QRect kSizeLabelPixels(QPoint(290, 125), QPoint(359, 144));
constexpr const char* kChecksumsSetting = "Split/WriteChecksums";

// "3000000 ( 2930 KB)"
QString SizeWithKilobytes(std::uint64_t bytes) {
    return QString("%1 ( %2 KB)").arg(bytes).arg(bytes / 1024 + 1);
}

QString FolderOf(const QString& path) {
    return QString::fromStdString(GetFolderPart(path.toStdString()));
}

}  // namespace

CSplitterView::CSplitterView(QWidget* parent)
    : QWidget(parent), m_host(this, m_progress), m_layout(this, 241, 195) {
    CreateControls();
    ConnectControls();
}

void CSplitterView::CreateControls() {
    // Children are made in the template's order, which is also their tab order.
    UseFaceBackground(this);
    FormLayout& layout = m_layout;
    auto* labelFile = new QLabel("File to split", this);
    layout.Place(labelFile, 7, 10, 57, 8);
    m_btnBrowseFile = new CEtchedButton(this);
    layout.Place(m_btnBrowseFile, 190, 21, 41, 14, 1002, "Browse");
    auto* labelDest = new QLabel("Destination Folder", this);
    layout.Place(labelDest, 7, 39, 74, 8);
    m_editDest = new CEtchedEdit(this, true);
    layout.Place(m_editDest, 7, 51, 180, 12, 1003);
    m_btnBrowseFolder = new CEtchedButton(this);
    layout.Place(m_btnBrowseFolder, 190, 50, 41, 14, 1004, "Browse");
    m_radioFixed = new QRadioButton("Fixed Size", this);
    layout.Place(m_radioFixed, 3, 78, 54, 10, 1006);
    m_radioCustom = new QRadioButton("Customize Size", this);
    layout.Place(m_radioCustom, 3, 96, 70, 10, 1007);
    m_comboPresets = new CEtchedComboBox(this);
    layout.Place(m_comboPresets, 78, 76, 88, 12, 1008);
    m_editCustomSize = new CEtchedEdit(this);
    layout.Place(m_editCustomSize, 78, 94, 88, 12, 1009);
    auto* labelBytes1 = new QLabel("Bytes", this);
    layout.Place(labelBytes1, 172, 79, 19, 8);
    m_listParameters = new QTableWidget(5, 2, this);
    layout.Place(m_listParameters, 4, 113, 232, 76, 1010);
    m_btnStart = new CEtchedButton(this);
    layout.Place(m_btnStart, 196, 92, 40, 17, 1012, "Start");
    auto* labelBytes2 = new QLabel("Bytes", this);
    layout.Place(labelBytes2, 172, 95, 19, 8);
    m_editSource = new CEtchedEdit(this, true);
    layout.Place(m_editSource, 7, 22, 180, 12, 1001);
    auto* group = new CEtchedGroupBox("Split file info", this);
    layout.Place(group, 3, 1, 233, 71);
    group->lower();
    // In the free strip at the foot of the group box, last in the tab order.
    m_checkChecksums = new CEtchedCheckBox(this);
    layout.Place(m_checkChecksums, 7, 63, 150, 8, 1026, "Write checksums (.sha256)");
    layout.ReserveTemplatePixels(kSizeLabelPixels);
    layout.Fit();
}

QSize CSplitterView::sizeHint() const {
    return m_layout.Size();
}

void CSplitterView::ConnectControls() {
    connect(m_comboPresets, &QComboBox::currentIndexChanged, this, &CSplitterView::OnPresetChanged);
    connect(m_btnBrowseFile, &QPushButton::clicked, this, &CSplitterView::OnBrowseFile);
    connect(m_editSource, &QLineEdit::textChanged, this, &CSplitterView::OnSourceChanged);
    connect(m_editDest, &QLineEdit::textChanged, this, &CSplitterView::OnDestinationChanged);
    connect(m_btnStart, &QPushButton::clicked, this, &CSplitterView::OnStart);
    connect(m_editCustomSize, &QLineEdit::textChanged, this, &CSplitterView::OnCustomSizeChanged);
    connect(m_radioFixed, &QRadioButton::clicked, this, &CSplitterView::OnFixedSize);
    connect(m_radioCustom, &QRadioButton::clicked, this, &CSplitterView::OnCustomSize);
    connect(m_btnBrowseFolder, &QPushButton::clicked, this, &CSplitterView::OnBrowseFolder);
    // After the box's own handler, so that the new state is the one kept.
    connect(m_checkChecksums, &QAbstractButton::clicked, this, &CSplitterView::OnChecksumsClicked);
}

CMainFrame* CSplitterView::MainFrame() const {
    return qobject_cast<CMainFrame*>(window());
}

// Without the frame the form cannot work, and the program ends. exit, not quit: quitting would
// first ask every window to close, which the drop window answers by closing the frame.
bool CSplitterView::MainFrameOrEnd() {
    if (MainFrame() != nullptr) {
        return true;
    }
    ShowBox(this, "System error!", "Error", BoxStyle::Ok);
    QCoreApplication::exit(0);
    return false;
}

void CSplitterView::OnInitialUpdate() {
    UpdateData(false);
    m_btnBrowseFolder->SetCaption("Browse");
    m_btnBrowseFile->SetCaption("Browse");
    m_btnStart->SetCaption("Start");
    m_checkChecksums->SetCaption("Write checksums (.sha256)");
    m_checkChecksums->m_nChecked =
        QSettings("Kavendrum", "Kavendrum").value(kChecksumsSetting, 0).toInt() != 0 ? 1 : 0;
    if (m_bFirstInit) {
        m_listParameters->setShowGrid(true);
        m_listParameters->setHorizontalHeaderLabels({"Parameter", "Value"});
        m_listParameters->verticalHeader()->hide();
        m_listParameters->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
        m_listParameters->horizontalHeader()->setSectionsClickable(false);
        // The columns' pixels were chosen for the template's font; they grow with the form.
        m_listParameters->setColumnWidth(0, m_layout.ScaledPixels(140));
        m_listParameters->setColumnWidth(1, m_layout.ScaledPixels(200));
        // One line a row: a wrapped path would break at its slashes and lose its end.
        m_listParameters->setWordWrap(false);
        m_listParameters->setTextElideMode(Qt::ElideMiddle);
        m_listParameters->setEditTriggers(QAbstractItemView::NoEditTriggers);
        // Tab goes on to the next control of the form, not from cell to cell.
        m_listParameters->setTabKeyNavigation(false);
        m_listParameters->setSelectionBehavior(QAbstractItemView::SelectRows);
        const char* rows[] = {"Split file name", "Destination folder", "Original file fize",
                              "Split size", "Number of split files"};
        for (int row = 0; row < 5; ++row) {
            m_listParameters->setItem(row, 0, new QTableWidgetItem(rows[row]));
            m_listParameters->setItem(row, 1, new QTableWidgetItem());
        }
        if (!MainFrameOrEnd()) {
            return;
        }
        m_radioCustom->setEnabled(true);
        {
            const QSignalBlocker blocker(m_comboPresets);
            for (const char* preset : kPresets) {
                m_comboPresets->addItem(preset);
            }
            m_comboPresets->setCurrentIndex(kDefaultPreset);
        }
        m_labelSize = new QLabel("(1424K)", this);
        m_labelSize->setObjectName("101");
        m_labelSize->setGeometry(m_layout.TemplatePixels(kSizeLabelPixels));
        m_labelSize->show();
        m_nSizeMode = 0;
        m_dwCustomSize = kDefaultPieceSize;
        UpdateData(false);
        m_comboPresets->setEnabled(true);
        m_editCustomSize->setEnabled(false);
    }
    if (!MainFrameOrEnd()) {
        return;
    }
    m_radioCustom->setEnabled(true);
    m_bFirstInit = false;
}

bool CSplitterView::UpdateData(bool bSaveAndValidate) {
    const BlockedSignals blocked{m_editDest, m_editSource, m_editCustomSize, m_radioFixed,
                                 m_radioCustom};
    if (!bSaveAndValidate) {
        m_editDest->setText(m_strDestFolder);
        m_editSource->setText(m_strSourcePath);
        m_radioFixed->setChecked(m_nSizeMode == 0);
        m_radioCustom->setChecked(m_nSizeMode == 1);
        m_editCustomSize->setText(QString::number(m_dwCustomSize));
        return true;
    }
    m_strDestFolder = m_editDest->text();
    m_strSourcePath = m_editSource->text();
    m_nSizeMode = m_radioFixed->isChecked() ? 0 : m_radioCustom->isChecked() ? 1 : -1;
    const auto size = ReadCustomSize(this, m_editCustomSize, 1, kLargestCustomPieceSize);
    if (!size) {
        return false;
    }
    m_dwCustomSize = *size;
    return true;
}

std::uint32_t CSplitterView::SelectedPresetSize() const {
    return m_comboPresets->currentText().toUInt();
}

void CSplitterView::SetParameter(Row row, const QString& value) {
    // A long path shows its start and its end; the tool tip has all of it.
    QTableWidgetItem* item = m_listParameters->item(row, 1);
    item->setText(value);
    item->setToolTip(value);
}

QString CSplitterView::ParameterValue(Row row) const {
    return m_listParameters->item(row, 1)->text();
}

void CSplitterView::OnPresetChanged() {
    if (m_labelSize != nullptr) {
        m_labelSize->setText(QString("(%1K)").arg(SelectedPresetSize() / 1024 + 1));
    }
    RecalcParameters();
}

void CSplitterView::OnBrowseFile() {
    const QString chosen = ChooseFileToOpen(this, QString());
    if (chosen.isEmpty()) {
        return;
    }
    m_strSourcePath = chosen;
    m_strDestFolder = FolderOf(chosen);
    UpdateData(false);
    RecalcParameters();
}

void CSplitterView::OnSourceChanged() {
    UpdateData(true);
    SetParameter(kSplitFileName, m_strSourcePath);
    m_strDestFolder = FolderOf(m_strSourcePath);
    UpdateData(false);
    RecalcParameters();
}

void CSplitterView::OnDestinationChanged() {
    UpdateData(true);
    SetParameter(kDestinationFolder, m_strDestFolder);
}

void CSplitterView::OnCustomSizeChanged() {
    RecalcParameters();
}

void CSplitterView::OnFixedSize() {
    m_comboPresets->setEnabled(true);
    m_editCustomSize->setEnabled(false);
    RecalcParameters();
}

void CSplitterView::OnCustomSize() {
    m_comboPresets->setEnabled(false);
    m_editCustomSize->setEnabled(true);
    RecalcParameters();
}

void CSplitterView::OnBrowseFolder() {
    UpdateData(true);
    const auto chosen = ChooseFolder(this, m_strDestFolder);
    if (!chosen) {
        return;
    }
    // Written through the field, so that its change handler follows as for typing.
    m_editDest->setText(*chosen);
}

void CSplitterView::OnChecksumsClicked() {
    QSettings("Kavendrum", "Kavendrum").setValue(kChecksumsSetting, m_checkChecksums->m_nChecked);
}

void CSplitterView::RecalcParameters() {
    const bool valid = UpdateData(true);
    if (!valid && m_nSizeMode == 1) {
        return;
    }
    SetParameter(kSplitFileName, m_strSourcePath);
    SetParameter(kDestinationFolder, m_strDestFolder);
    auto source = File::OpenForReading(m_strSourcePath.toStdString());
    const auto length = source.ok() ? source.value().Length() : FileResult<std::uint64_t>(0);
    if (!source.ok() || !length.ok()) {
        SetParameter(kSplitSize, QString());
        return;
    }
    source.value().Close();
    const std::uint64_t size = length.value();
    SetParameter(kOriginalSize, SizeWithKilobytes(size));
    if (m_nSizeMode == 1) {
        SetParameter(kSplitSize, SizeWithKilobytes(m_dwCustomSize));
        SetParameter(kPieceCount, QString::number(size / m_dwCustomSize + 1));
    } else {
        const std::uint32_t preset = SelectedPresetSize();
        SetParameter(
            kSplitSize,
            QString("%1 ( %2 KB)").arg(m_comboPresets->currentText()).arg(preset / 1024 + 1));
        SetParameter(kPieceCount, QString::number(size / preset + 1));
    }
}

void CSplitterView::OnStart() {
    const bool valid = UpdateData(true);
    if (!valid && m_nSizeMode == 1) {
        return;
    }
    SplitRequest request;
    request.sourcePath = m_strSourcePath.toStdString();
    request.destinationFolder = m_strDestFolder.toStdString();
    request.pieceSize = m_nSizeMode == 1 ? m_dwCustomSize : SelectedPresetSize();
    request.writeChecksums = m_checkChecksums->m_nChecked != 0;
    CMainFrame* frame = MainFrame();
    const COperationScope running;
    RunSplit(request, frame != nullptr ? &frame->m_options : nullptr, m_host);
}

}  // namespace kavendrum::ui
