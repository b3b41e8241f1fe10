#include "ui/forms/splitter_view.h"

#include <QCoreApplication>
#include <QHeaderView>

#include "engine/split_operation.h"
#include "ui/controls/etched_group_box.h"
#include "ui/controls/etched_palette.h"
#include "ui/forms/blocked_signals.h"
#include "ui/forms/form_scale.h"

namespace kavendrum::ui {

namespace {

// The checksum box's own row at the foot of the group box, which grows by it and moves what lies
// below down by as much (dialog units; 20 pixels of the template's font).
constexpr int kChecksumRow = 12;
constexpr int kChecksumRowPixels = 20;

// The size label's place, in pixels of the template's font, below the checksum row.
const QRect kSizeLabelPixels(QPoint(290, 125 + kChecksumRowPixels),
                             QPoint(359, 144 + kChecksumRowPixels));

}  // namespace

CSplitterView::CSplitterView(QWidget* parent, OptionSource* options)
    : QWidget(parent),
      m_host(this, &m_progress),
      m_layout(this, 241, 195 + kChecksumRow),
      m_presenter(*this, m_host, m_host, m_profile, options) {
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
    layout.Place(m_radioFixed, 3, 78 + kChecksumRow, 54, 10, 1006);
    m_radioCustom = new QRadioButton("Customize Size", this);
    layout.Place(m_radioCustom, 3, 96 + kChecksumRow, 70, 10, 1007);
    m_comboPresets = new CEtchedComboBox(this);
    layout.Place(m_comboPresets, 78, 76 + kChecksumRow, 88, 12, 1008);
    m_editCustomSize = new CEtchedEdit(this);
    layout.Place(m_editCustomSize, 78, 94 + kChecksumRow, 88, 12, 1009);
    auto* labelBytes1 = new QLabel("Bytes", this);
    layout.Place(labelBytes1, 172, 79 + kChecksumRow, 19, 8);
    m_listParameters = new QTableWidget(5, 2, this);
    layout.Place(m_listParameters, 4, 113 + kChecksumRow, 232, 76, 1010);
    m_btnStart = new CEtchedButton(this);
    layout.Place(m_btnStart, 196, 92 + kChecksumRow, 40, 17, 1012, "Start");
    auto* labelBytes2 = new QLabel("Bytes", this);
    layout.Place(labelBytes2, 172, 95 + kChecksumRow, 19, 8);
    m_editSource = new CEtchedEdit(this, true);
    layout.Place(m_editSource, 7, 22, 180, 12, 1001);
    auto* group = new CEtchedGroupBox("Split file info", this);
    layout.Place(group, 3, 1, 233, 71 + kChecksumRow);
    group->lower();
    // On a row of its own at the foot of the group box, last in the tab order.
    m_checkChecksums = new CEtchedCheckBox(this);
    layout.Place(m_checkChecksums, 7, 67, 138, 10, 1026, "Write checksums (.sha256)");
    auto* recoveryLabel = new QLabel("Recovery pieces", this);
    layout.Place(recoveryLabel, 148, 68, 50, 8);
    m_spinRecovery = new QSpinBox(this);
    m_spinRecovery->setRange(0, 999);
    m_spinRecovery->setSpecialValueText("none");
    layout.Place(m_spinRecovery, 200, 66, 34, 11, 1027);
    layout.ReserveTemplatePixels(kSizeLabelPixels);
    layout.Fit(SharedFormScale(font()));
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
    connect(m_spinRecovery, &QSpinBox::valueChanged, this, &CSplitterView::OnRecoveryChanged);
}

// Without the frame the form cannot work, and the program ends. exit, not quit: quitting would
// first ask every window to close, which the drop window answers by closing the frame.
bool CSplitterView::MainFrameOrEnd() {
    if (m_presenter.FrameOrSystemError()) {
        return true;
    }
    QCoreApplication::exit(0);
    return false;
}

void CSplitterView::SetCaptions() {
    m_btnBrowseFolder->SetCaption("Browse");
    m_btnBrowseFile->SetCaption("Browse");
    m_btnStart->SetCaption("Start");
    m_checkChecksums->SetCaption("Write checksums (.sha256)");
}

void CSplitterView::BuildParameterList() {
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
}

void CSplitterView::FillPresets() {
    const QSignalBlocker blocker(m_comboPresets);
    for (const char* preset : SplitPresenter::kPresets) {
        m_comboPresets->addItem(preset);
    }
    m_comboPresets->setCurrentIndex(SplitPresenter::kDefaultPreset);
}

void CSplitterView::OnInitialUpdate() {
    UpdateData(false);
    SetCaptions();
    m_presenter.LoadChecksums();
    if (m_bFirstInit) {
        BuildParameterList();
        if (!MainFrameOrEnd()) {
            return;
        }
        m_radioCustom->setEnabled(true);
        FillPresets();
        m_labelSize = new QLabel(QString::fromStdString(PresetLabel(kDefaultPieceSize)), this);
        m_labelSize->setObjectName("101");
        m_labelSize->setGeometry(m_layout.TemplatePixels(kSizeLabelPixels));
        m_labelSize->show();
        m_presenter.FirstInit();
    }
    if (!MainFrameOrEnd()) {
        return;
    }
    m_radioCustom->setEnabled(true);
    m_bFirstInit = false;
}

SplitFields CSplitterView::ReadFields() const {
    return {m_editDest->text().toStdString(), m_editSource->text().toStdString(),
            m_radioFixed->isChecked()    ? 0
            : m_radioCustom->isChecked() ? 1
                                         : -1,
            m_editCustomSize->text().toStdString()};
}

void CSplitterView::WriteFields(const SplitFields& fields) {
    const BlockedSignals blocked{m_editDest, m_editSource, m_editCustomSize, m_radioFixed,
                                 m_radioCustom};
    m_editDest->setText(QString::fromStdString(fields.destFolder));
    m_editSource->setText(QString::fromStdString(fields.sourcePath));
    m_radioFixed->setChecked(fields.sizeMode == 0);
    m_radioCustom->setChecked(fields.sizeMode == 1);
    m_editCustomSize->setText(QString::fromStdString(fields.customSize));
}

void CSplitterView::TypeDestination(const std::string& folder) {
    m_editDest->setText(QString::fromStdString(folder));
}

std::string CSplitterView::SelectedPreset() const {
    return m_comboPresets->currentText().toStdString();
}

void CSplitterView::SetParameter(Row row, const std::string& value) {
    // A long path shows its start and its end; the tool tip has all of it.
    QTableWidgetItem* item = m_listParameters->item(row, 1);
    item->setText(QString::fromStdString(value));
    item->setToolTip(item->text());
}

QString CSplitterView::ParameterValue(Row row) const {
    return m_listParameters->item(row, 1)->text();
}

void CSplitterView::SetSizeLabel(const std::string& text) {
    if (m_labelSize != nullptr) {
        m_labelSize->setText(QString::fromStdString(text));
    }
}

void CSplitterView::EnableSizeChoice(bool fixed) {
    m_comboPresets->setEnabled(fixed);
    m_editCustomSize->setEnabled(!fixed);
    // The preset's label keeps its text, but greyed out with the preset it belongs to.
    if (m_labelSize != nullptr) {
        m_labelSize->setEnabled(fixed);
    }
}

void CSplitterView::SelectCustomSize() {
    m_editCustomSize->setFocus();
    m_editCustomSize->selectAll();
}

bool CSplitterView::WriteChecksums() const {
    return m_checkChecksums->m_nChecked != 0;
}

void CSplitterView::SetWriteChecksums(bool on) {
    m_checkChecksums->m_nChecked = on ? 1 : 0;
}

int CSplitterView::RecoveryPieces() const {
    return m_spinRecovery->value();
}

void CSplitterView::SetRecoveryPieces(int count) {
    const QSignalBlocker quiet(m_spinRecovery);
    m_spinRecovery->setValue(count);
}

}  // namespace kavendrum::ui
