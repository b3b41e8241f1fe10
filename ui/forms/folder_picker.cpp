#include "ui/forms/folder_picker.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>
#include <QVBoxLayout>

namespace kavendrum::ui {

CFolderPicker::CFolderPicker(QWidget* owner, const QString& title)
    : QDialog(owner),
      m_model(new QFileSystemModel(this)),
      m_tree(new QTreeView(this)),
      m_status(new QLabel(this)) {
    setWindowTitle(title);
    m_model->setFilter(QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_model->setRootPath(QDir::rootPath());
    m_tree->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column) {
        m_tree->hideColumn(column);
    }
    m_tree->header()->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
    resize(320, 360);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_model, &QFileSystemModel::rowsInserted, this, &CFolderPicker::KeepSelectionInSight);
    connect(m_model, &QFileSystemModel::layoutChanged, this, &CFolderPicker::KeepSelectionInSight);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnSelChanged(current); });
}

CFolderPicker::~CFolderPicker() = default;

void CFolderPicker::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bInitialized) {
        m_bInitialized = true;
        OnInitialized();
    }
}

bool CFolderPicker::Browse() {
    m_strPath.clear();
    if (exec() != QDialog::Accepted) {
        return false;
    }
    const QModelIndex chosen = m_tree->currentIndex();
    if (!chosen.isValid()) {
        return false;
    }
    m_strPath = PathOf(chosen);
    return true;
}

QString CFolderPicker::PathOf(const QModelIndex& item) const {
    // A root keeps its separator; any other folder has none at its end.
    return QDir::toNativeSeparators(m_model->filePath(item));
}

void CFolderPicker::SetSelection(const QString& path) {
    const QModelIndex item = m_model->index(QDir::fromNativeSeparators(path));
    if (item.isValid()) {
        m_tree->setCurrentIndex(item);
        m_selected = item;
        m_tree->scrollTo(item, QAbstractItemView::PositionAtCenter);
    }
}

// The folders around the selection are read and sorted in the background, and each new row above
// it pushes it down; so the selection is brought back into sight until the user moves it.
void CFolderPicker::KeepSelectionInSight() {
    if (m_selected.isValid() && m_tree->currentIndex() == m_selected) {
        m_tree->scrollTo(m_selected, QAbstractItemView::PositionAtCenter);
    }
}

void CFolderPicker::SetStatusText(const QString& text) {
    m_status->setText(text);
}

CDestFolderPicker::CDestFolderPicker(QWidget* owner, const QString& title)
    : CFolderPicker(owner, title) {}

void CDestFolderPicker::OnInitialized() {
    SetSelection(m_strInitialFolder);
    SetStatusText(m_strInitialFolder);
}

void CDestFolderPicker::OnSelChanged(const QModelIndex& item) {
    SetStatusText(item.isValid() ? PathOf(item) : QString());
}

}  // namespace kavendrum::ui
