#include "ui/forms/merge_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QStyle>

#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/merge_operation.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "engine/pieces_on_disk.h"
#include "ui/controls/etched_group_box.h"
#include "ui/controls/etched_palette.h"
#include "ui/forms/blocked_signals.h"
#include "ui/forms/modal_dialogs.h"
#include "ui/shell/main_frame.h"

namespace kavendrum::ui {

CMergeView::CMergeView(QWidget* parent)
    : QWidget(parent), m_host(this, m_progress), m_layout(this, 240, 195) {
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
    layout.Fit();
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

CMainFrame* CMergeView::MainFrame() const {
    return qobject_cast<CMainFrame*>(window());
}

void CMergeView::OnInitialUpdate() {
    UpdateData(false);
    m_btnVerify->SetCaption("Verify");
    m_btnStart->SetCaption("Start");
    m_btnBrowseFolder->SetCaption("Browse");
    m_btnBrowseHeadFile->SetCaption("Browse");
    if (m_bFirstInit) {
        m_listFiles->setRootIsDecorated(false);
        m_listFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_listFiles->setHeaderLabels({"File Name", "Size ( bytes )"});
        m_listFiles->header()->setSectionsClickable(false);
        // The columns' pixels were chosen for the template's font; they grow with the form, and
        // a heading never gets less than it needs.
        const QHeaderView* header = m_listFiles->header();
        const int margins =
            4 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (const auto& [column, pixels] : {std::pair{0, 250}, std::pair{1, 85}}) {
            const QString heading = m_listFiles->headerItem()->text(column);
            m_listFiles->setColumnWidth(
                column, std::max(m_layout.ScaledPixels(pixels),
                                 header->fontMetrics().horizontalAdvance(heading) + margins));
        }
        m_listFiles->setTextElideMode(Qt::ElideMiddle);
        m_listFiles->setIconSize(QSize(15, 15));
        m_bFirstInit = false;
    }
}

void CMergeView::UpdateData(bool bSaveAndValidate) {
    const BlockedSignals blocked{m_editHeadFileName,   m_editDestFolder,     m_editPrefixName,
                                 m_editObjectFileName, m_editObjectFileSize, m_editSplitCount,
                                 m_checkPrefix};
    if (bSaveAndValidate) {
        m_strHeadFileName = m_editHeadFileName->text();
        m_strDestFolder = m_editDestFolder->text();
        m_dwObjectFileSize = m_editObjectFileSize->text().toULongLong();
        m_nSplitCount = m_editSplitCount->text().toUInt();
        m_strObjectFileName = m_editObjectFileName->text();
        m_bPrefixName = m_checkPrefix->isChecked() ? 1 : 0;
        m_strPrefixName = m_editPrefixName->text();
        return;
    }
    m_editHeadFileName->setText(m_strHeadFileName);
    m_editDestFolder->setText(m_strDestFolder);
    m_editObjectFileSize->setText(QString::number(m_dwObjectFileSize));
    m_editSplitCount->setText(QString::number(m_nSplitCount));
    m_editObjectFileName->setText(m_strObjectFileName);
    m_checkPrefix->setChecked(m_bPrefixName != 0);
    m_editPrefixName->setText(m_strPrefixName);
}

bool CMergeView::HeadFileOpens() const {
    const std::string path = m_strHeadFileName.toStdString();
    return IsHeadFileName(path) && File::OpenForReading(path).ok();
}

void CMergeView::AddRow(const PieceEntry& entry) {
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

void CMergeView::LoadHeadFile() {
    if (MainFrame() == nullptr) {
        return;
    }
    UpdateData(true);
    m_strDestFolder = QString::fromStdString(GetFolderPart(m_strHeadFileName.toStdString()));
    UpdateData(false);
    UpdateData(true);

    const std::string headPath = m_strHeadFileName.toStdString();
    auto head =
        IsHeadFileName(headPath) ? File::OpenForReading(headPath) : FileResult<File>(FileError{});
    if (!head.ok()) {
        m_dwObjectFileSize = 0;
        m_nSplitCount = 0;
        m_listFiles->clear();
        UpdateData(false);
        return;
    }
    const HeadRead read = ReadHeadFile(head.value());
    head.value().Close();
    if (read.status != HeadReadStatus::Read) {
        ShowBox(this, "Read info From head file error", "Error", BoxStyle::Ok);
        return;
    }
    m_dwObjectFileSize = WholeFileSize(read.info);
    m_nSplitCount = read.info.pieceCount;
    m_strExtension = QString::fromStdString(read.info.extension);
    UpdateData(false);
    UpdateData(true);

    const std::string stem = SplitBaseName(headPath).base;
    m_listFiles->clear();
    // Only the pieces the folder holds are tried, whatever count the head file claims.
    const PiecesOnDisk onDisk = PiecesOnDisk::Find(stem, read.info.pieceCount);
    for (std::uint32_t number = onDisk.NextAfter(0); number != 0;
         number = onDisk.NextAfter(number)) {
        const std::string path = PiecePath(stem, number);
        auto piece = File::OpenForReading(path);
        if (!piece.ok()) {
            continue;
        }
        const auto length = piece.value().Length();
        AddRow({path, length.ok() ? std::to_string(length.value()) : std::string(),
                PieceMark::Unchecked});
    }
    UpdateOutputName();
}

void CMergeView::OnNameFieldChanged() {
    UpdateOutputName();
}

void CMergeView::UpdateOutputName() {
    if (MainFrame() == nullptr) {
        ShowBox(this, "Get MainFrame Error!", "Error", BoxStyle::Ok);
        return;
    }
    UpdateData(true);
    if (!HeadFileOpens()) {
        return;
    }
    UpdateData(true);
    // A prefix that names no file of its own ("..", say) leaves no object file name, and a merge
    // then creates nothing.
    m_strObjectFileName = QString::fromStdString(
        FormObjectFileName(m_strDestFolder.toStdString(), m_strHeadFileName.toStdString(),
                           m_bPrefixName != 0, m_strPrefixName.toStdString(),
                           m_strExtension.toStdString())
            .value_or(std::string()));
    UpdateData(false);
}

void CMergeView::OnPrefixClicked() {
    if (!m_checkPrefix->isChecked()) {
        m_editPrefixName->setReadOnly(true);
        const QSignalBlocker blocker(m_editPrefixName);
        m_editPrefixName->setText(QString());
    } else {
        m_editPrefixName->setReadOnly(false);
    }
    UpdateOutputName();
}

void CMergeView::OnBrowseHeadFile() {
    const QString chosen = ChooseFileToOpen(this, "Kavendrum Head File(*.kdh)");
    if (chosen.isEmpty()) {
        return;
    }
    m_strHeadFileName = chosen;
    UpdateData(false);
    LoadHeadFile();
}

void CMergeView::OnBrowseFolder() {
    UpdateData(true);
    const auto chosen = ChooseFolder(this, m_strDestFolder);
    if (!chosen) {
        return;
    }
    m_strDestFolder = *chosen;
    UpdateData(false);
    UpdateOutputName();
}

VerifyOutcome CMergeView::OnVerify() {
    UpdateData(true);
    if (MainFrame() == nullptr) {
        ShowBox(this, "Get MainFrame Error!", "Error", BoxStyle::Ok);
        m_bVerifyOk = false;
        return VerifyOutcome::Failed;
    }
    const COperationScope running;
    // With a checksum file beside the head file the pieces are read, and the bar shows how far.
    const Verification verification =
        VerifyWithChecksums(m_strHeadFileName.toStdString(), m_host).verification;
    if (verification.pieces) {
        m_listFiles->clear();
        for (const auto& entry : *verification.pieces) {
            AddRow(entry);
        }
    }
    m_bVerifyOk = verification.outcome == VerifyOutcome::Passed;
    return verification.outcome;
}

void CMergeView::OnStart() {
    UpdateData(true);
    MergeRequest request{m_strHeadFileName.toStdString(), m_strDestFolder.toStdString(),
                         m_strObjectFileName.toStdString()};
    CMainFrame* frame = MainFrame();
    const COperationScope running;
    RunMerge(request, frame != nullptr ? &frame->m_options : nullptr, m_host,
             [this] { return OnVerify(); });
}

}  // namespace kavendrum::ui
