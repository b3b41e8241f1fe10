#pragma once

#include <QDialog>
#include <QLabel>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QString>

class QFileSystemModel;
class QTreeView;

namespace kavendrum::ui {

// A folder browser in the manner of the shell's: a tree of folders only, a status line and OK
// and Cancel. Subclasses say what happens when it opens and when the selection moves.
class CFolderPicker : public QDialog {
    Q_OBJECT

  public:
    ~CFolderPicker() override = 0;

    void SetTitle(const QString& title) { setWindowTitle(title); }
    // Runs the dialog; true when the user chose a folder.
    bool Browse();
    QString GetPath() const { return m_strPath; }
    void SetSelection(const QString& path);
    void SetStatusText(const QString& text);
    QString StatusText() const { return m_status->text(); }
    QTreeView* Tree() const { return m_tree; }

  protected:
    CFolderPicker(QWidget* owner, const QString& title);
    virtual void OnInitialized() {}
    virtual void OnSelChanged(const QModelIndex& item) { (void)item; }
    QString PathOf(const QModelIndex& item) const;
    void showEvent(QShowEvent* event) override;

  private:
    void KeepSelectionInSight();

    QFileSystemModel* m_model;
    QTreeView* m_tree;
    QLabel* m_status;
    QString m_strPath;
    bool m_bInitialized = false;
    QPersistentModelIndex m_selected;
};

// The destination folder picker of the split and merge forms: opens on the folder typed so far
// and shows the selected folder's path in its status line.
class CDestFolderPicker : public CFolderPicker {
    Q_OBJECT

  public:
    CDestFolderPicker(QWidget* owner, const QString& title);
    void SetInitialFolder(const QString& folder) { m_strInitialFolder = folder; }

  protected:
    void OnInitialized() override;
    void OnSelChanged(const QModelIndex& item) override;

  private:
    QString m_strInitialFolder;
};

}  // namespace kavendrum::ui
