#pragma once

// The dialogs service as Qt windows: message boxes, the input box, the file-system folder browser
// with its typed-name question, and Outlook's folder picker with "New...".

#include "shared/dialogs.h"

#include <QDialog>
#include <QHash>

class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace lorvo {

class QtDialogs final : public Dialogs
{
public:
    Answer messageBox(const MessageBoxRequest& request) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                     QObject* owner) override;
    QString browseForFolder(const FolderBrowseRequest& request) override;
    outlook::FolderPtr pickOutlookFolder(outlook::NameSpace& nameSpace, QObject* owner) override;
};

// The folder browser: a folder tree, an edit box for a typed path and the selected path as status.
class FolderBrowseDialog final : public QDialog
{
    Q_OBJECT
public:
    FolderBrowseDialog(const FolderBrowseRequest& request, QWidget* parent = nullptr);

    /// Selects a folder in the tree (and shows it as the status).
    void selectFolder(const QString& path);
    /// The selected folder, or empty.
    QString selectedFolder() const;
    /// The chosen folder once accepted.
    QString chosenFolder() const { return m_chosen; }
    /// The status text under the tree.
    QString statusText() const;

    void accept() override;

private:
    void showSelection();

    FolderBrowseRequest m_request;
    QFileSystemModel* m_model;
    QTreeView* m_tree;
    QLineEdit* m_edit;
    QLabel* m_status;
    QString m_chosen;
};

// Outlook's folder picker: the stores' folder trees, read as they are opened, and "New...".
class OutlookFolderPicker final : public QDialog
{
    Q_OBJECT
public:
    /// ask: the dialogs that ask the new folder's name and report a refusal.
    OutlookFolderPicker(outlook::NameSpace& nameSpace, Dialogs& ask, QWidget* parent = nullptr);

    /// The folder selected in the tree, or null.
    outlook::FolderPtr selectedFolder() const;
    /// Selects the tree entry of a full path ("\\Store\A\B"), opening the levels on the way.
    bool selectPath(const QString& fullPath);
    /// "New...": asks a name and creates the folder under the selection.
    void newFolder();

    QTreeWidget* tree() const { return m_tree; }

private:
    QTreeWidgetItem* addEntry(QTreeWidgetItem* parent, const outlook::FolderPtr& folder);
    void fillChildren(QTreeWidgetItem* item, bool again);

    outlook::NameSpace& m_nameSpace;
    Dialogs& m_ask;
    QTreeWidget* m_tree;
    QPushButton* m_new;
    QHash<QTreeWidgetItem*, outlook::FolderPtr> m_folders;
};

} // namespace lorvo
