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
        m_tree->scrollTo(item);
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
