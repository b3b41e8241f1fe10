#include "ui/forms/merge_view.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QStatusTipEvent>
#include <QStyle>

#include "ui/controls/etched_group_box.h"
#include "ui/controls/etched_palette.h"
#include "ui/forms/blocked_signals.h"
#include "ui/forms/form_scale.h"

namespace kavendrum::ui {

CMergeView::CMergeView(QWidget* parent, OptionSource* options)
    : QWidget(parent),
      m_host(this, &m_progress),
      m_layout(this, 240, 195),
      m_presenter(*this, m_host, m_host, options) {
    CreateControls();
    ConnectControls();
}

void CMergeView::CreateControls() {
    // Children are made in the template's order, which is also their tab order.
    UseFaceBackground(this);
    FormLayout& layout = m_layout;
    const auto label = [&](const char* text, int x, int y, int w, int h) {
        layout.Place(new QLabel(text, this), x, y, w, h);
    };
    const auto readOnlyEdit = [&](int x, int y, int w, int h, int id) {
        auto* edit = new CEtchedEdit(this);
        layout.Place(edit, x, y, w, h, id);
        edit->setReadOnly(true);
        return edit;
    };
    label("Head File Name ( .kdh )", 7, 9, 96, 8);
    m_editHeadFileName = new CEtchedEdit(this, true);
    layout.Place(m_editHeadFileName, 7, 17, 178, 12, 1013);
    m_btnBrowseHeadFile = new CEtchedButton(this);
    layout.Place(m_btnBrowseHeadFile, 190, 16, 41, 14, 1014, "Browse");
    label("Destination Folder", 7, 31, 80, 8);
    m_editDestFolder = new CEtchedEdit(this, true);
    layout.Place(m_editDestFolder, 7, 41, 178, 12, 1015);
    m_btnBrowseFolder = new CEtchedButton(this);
    layout.Place(m_btnBrowseFolder, 190, 40, 41, 14, 1016, "Browse");
    m_checkPrefix = new QCheckBox("Prefix Name", this);
    layout.Place(m_checkPrefix, 4, 62, 55, 10, 1017);
    m_editPrefixName = readOnlyEdit(61, 60, 67, 12, 1018);
    label("Object File Size", 4, 89, 65, 8);
    m_editObjectFileSize = readOnlyEdit(74, 87, 68, 12, 1019);
    label("Object File Name", 4, 76, 65, 8);
    m_editObjectFileName = readOnlyEdit(74, 74, 162, 12, 1020);
    label("Number of split files :", 133, 62, 64, 8);
    m_editSplitCount = readOnlyEdit(197, 60, 39, 12, 1021);
    m_btnVerify = new CEtchedButton(this);
    layout.Place(m_btnVerify, 128, 178, 50, 14, 1022, "Verify");
    m_listFiles = new QTreeWidget(this);
    layout.Place(m_listFiles, 2, 102, 233, 74, 1023);
    m_btnStart = new CEtchedButton(this);
    layout.Place(m_btnStart, 185, 178, 50, 14, 1025, "Start");
    label("( bytes)", 144, 90, 32, 8);
    auto* group = new CEtchedGroupBox("Merge File Info", this);
    layout.Place(group, 2, 1, 234, 58);
    group->lower();
    layout.Fit(SharedFormScale(font()));
}

QSize CMergeView::sizeHint() const {
    return m_layout.Size();
}

void CMergeView::ConnectControls() {
    connect(m_btnStart, &QPushButton::clicked, this, &CMergeView::OnStart);
    connect(m_btnVerify, &QPushButton::clicked, this, &CMergeView::OnVerify);
    connect(m_btnBrowseHeadFile, &QPushButton::clicked, this, &CMergeView::OnBrowseHeadFile);
    connect(m_btnBrowseFolder, &QPushButton::clicked, this, &CMergeView::OnBrowseFolder);
    connect(m_checkPrefix, &QCheckBox::clicked, this, &CMergeView::OnPrefixClicked);
    connect(m_editHeadFileName, &QLineEdit::textChanged, this, &CMergeView::LoadHeadFile);
    connect(m_editDestFolder, &QLineEdit::textChanged, this, &CMergeView::OnNameFieldChanged);
    connect(m_editPrefixName, &QLineEdit::textChanged, this, &CMergeView::OnNameFieldChanged);
}

void CMergeView::OnInitialUpdate() {
    UpdateData(false);
    m_btnVerify->SetCaption("Verify");
    m_btnStart->SetCaption("Start");
    m_btnBrowseFolder->SetCaption("Browse");
    m_btnBrowseHeadFile->SetCaption("Browse");
    if (m_bFirstInit) {
        SetUpPieceList();
        m_bFirstInit = false;
    }
}

void CMergeView::SetUpPieceList() {
    m_listFiles->setRootIsDecorated(false);
    m_listFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listFiles->setHeaderLabels({"File Name", "Size ( bytes )"});
    m_listFiles->header()->setSectionsClickable(false);
    // The columns' pixels were chosen for the template's font; they grow with the form, and a
    // heading never gets less than it needs.
    const QHeaderView* header = m_listFiles->header();
    const int margins = 4 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (const auto& [column, pixels] : {std::pair{0, 250}, std::pair{1, 85}}) {
        const QString heading = m_listFiles->headerItem()->text(column);
        m_listFiles->setColumnWidth(
            column, std::max(m_layout.ScaledPixels(pixels),
                             header->fontMetrics().horizontalAdvance(heading) + margins));
    }
    m_listFiles->setTextElideMode(Qt::ElideMiddle);
    m_listFiles->setIconSize(QSize(15, 15));
}

MergeFields CMergeView::ReadFields() const {
    MergeFields fields;
    fields.headFileName = m_editHeadFileName->text().toStdString();
    fields.destFolder = m_editDestFolder->text().toStdString();
    fields.objectFileSize = m_editObjectFileSize->text().toULongLong();
    fields.splitCount = m_editSplitCount->text().toUInt();
    fields.objectFileName = m_editObjectFileName->text().toStdString();
    fields.prefixName = m_checkPrefix->isChecked();
    fields.prefixText = m_editPrefixName->text().toStdString();
    return fields;
}

void CMergeView::WriteFields(const MergeFields& fields) {
    const BlockedSignals blocked{m_editHeadFileName,   m_editDestFolder,     m_editPrefixName,
                                 m_editObjectFileName, m_editObjectFileSize, m_editSplitCount,
                                 m_checkPrefix};
    m_editHeadFileName->setText(QString::fromStdString(fields.headFileName));
    m_editDestFolder->setText(QString::fromStdString(fields.destFolder));
    m_editObjectFileSize->setText(QString::number(fields.objectFileSize));
    m_editSplitCount->setText(QString::number(fields.splitCount));
    m_editObjectFileName->setText(QString::fromStdString(fields.objectFileName));
    m_checkPrefix->setChecked(fields.prefixName);
    m_editPrefixName->setText(QString::fromStdString(fields.prefixText));
}

void CMergeView::ClearPieces() {
    m_listFiles->clear();
}

void CMergeView::AddPiece(const PieceEntry& entry) {
    auto* row = new QTreeWidgetItem(
        m_listFiles, {QString::fromStdString(entry.path), QString::fromStdString(entry.sizeText)});
    const auto image = static_cast<int>(entry.mark);
    if (image < m_imageList.size()) {
        row->setIcon(0, m_imageList[image]);
    }
    row->setData(0, Qt::UserRole, image);
    // A long path shows its start and its end; the tool tip has all of it.
    row->setToolTip(0, row->text(0));
}

void CMergeView::SetPieceNote(std::size_t row, const std::string& note) {
    QTreeWidgetItem* item = m_listFiles->topLevelItem(static_cast<int>(row));
    if (item == nullptr) {
        return;
    }
    // The size column shows the expected size, so the reason goes with the row's tool tips and,
    // once the row is chosen, the status bar.
    const QString reason = QString::fromStdString(note);
    item->setToolTip(0, item->text(0) + " : " + reason);
    item->setToolTip(1, reason);
    item->setStatusTip(0, item->text(0) + " : " + reason);
    item->setStatusTip(1, item->statusTip(0));
    item->setData(0, Qt::UserRole + 1, reason);
}

void CMergeView::SelectPiece(std::size_t row) {
    QTreeWidgetItem* item = m_listFiles->topLevelItem(static_cast<int>(row));
    if (item == nullptr) {
        return;
    }
    m_listFiles->setCurrentItem(item);
    m_listFiles->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void CMergeView::ShowSummary(const std::string& text) {
    // Through the frame's status tip handling, which gives the bar back its idle text for none.
    QStatusTipEvent tip(QString::fromStdString(text));
    QCoreApplication::sendEvent(this, &tip);
}

bool CMergeView::PrefixChecked() const {
    return m_checkPrefix->isChecked();
}

void CMergeView::SetPrefixEditable(bool editable) {
    m_editPrefixName->setReadOnly(!editable);
    if (!editable) {
        const QSignalBlocker blocker(m_editPrefixName);
        m_editPrefixName->setText(QString());
    }
}

}  // namespace kavendrum::ui
