#include "shared/gui/qtdialogs.h"

#include "shared/error.h"
#include "shared/runtime.h"
#include "shared/text.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace lorvo {

namespace {

QWidget* ownerWidget(QObject* owner)
{
    return qobject_cast<QWidget*>(owner);
}

QMessageBox::StandardButtons standardButtons(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return QMessageBox::Ok;
    case Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon messageIcon(Icon icon)
{
    switch (icon) {
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Answer QtDialogs::messageBox(const MessageBoxRequest& request)
{
    QMessageBox box(messageIcon(request.icon), request.title, request.text,
                    standardButtons(request.buttons), ownerWidget(request.owner));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Retry:
        return Answer::Retry;
    default:
        return refusalOf(request.buttons);
    }
}

QString QtDialogs::inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                            QObject* owner)
{
    bool ok = false;
    const QString text = QInputDialog::getText(ownerWidget(owner), title, prompt, QLineEdit::Normal,
                                               defaultText, &ok);
    return ok ? text : QString();
}

QString QtDialogs::browseForFolder(const FolderBrowseRequest& request)
{
    FolderBrowseDialog dialog(request, ownerWidget(request.owner));
    return dialog.exec() == QDialog::Accepted ? dialog.chosenFolder() : QString();
}

outlook::FolderPtr QtDialogs::pickOutlookFolder(outlook::NameSpace& nameSpace, QObject* owner)
{
    OutlookFolderPicker picker(nameSpace, *this, ownerWidget(owner));
    return picker.exec() == QDialog::Accepted ? picker.selectedFolder() : nullptr;
}

FolderBrowseDialog::FolderBrowseDialog(const FolderBrowseRequest& request, QWidget* parent)
    : QDialog(parent), m_request(request), m_model(new QFileSystemModel(this)),
      m_tree(new QTreeView(this)), m_edit(new QLineEdit(this)), m_status(new QLabel(this))
{
    setWindowTitle(u"Browse for Folder"_s);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(request.title, this);
    title->setWordWrap(true);
    layout->addWidget(title);

    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QDir::rootPath());
    m_tree->setObjectName(u"tvwFolders"_s);
    m_tree->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->header()->hide();
    layout->addWidget(m_tree, 1);

    m_status->setObjectName(u"lblStatus"_s);
    layout->addWidget(m_status);
    m_edit->setObjectName(u"txtFolder"_s);
    layout->addWidget(m_edit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &FolderBrowseDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FolderBrowseDialog::reject);
    layout->addWidget(buttons);

    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FolderBrowseDialog::showSelection);
    if (!request.startFolder.isEmpty())
        selectFolder(request.startFolder);
    resize(420, 480);
}

void FolderBrowseDialog::selectFolder(const QString& path)
{
    const QModelIndex index = m_model->index(QDir::cleanPath(path));
    if (!index.isValid())
        return;
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
    showSelection();
}

QString FolderBrowseDialog::selectedFolder() const
{
    const QModelIndex index = m_tree->currentIndex();
    return index.isValid() ? QDir::toNativeSeparators(m_model->filePath(index)) : QString();
}

QString FolderBrowseDialog::statusText() const
{
    return m_status->text();
}

void FolderBrowseDialog::showSelection()
{
    m_status->setText(selectedFolder());
}

void FolderBrowseDialog::accept()
{
    const QString current = selectedFolder();
    const QString typed = m_edit->text().trimmed();
    if (typed.isEmpty()) {
        if (current.isEmpty())
            return; // nothing chosen yet
        m_chosen = current;
        QDialog::accept();
        return;
    }
    const QString typedPath = QDir::isAbsolutePath(typed) ? typed : QDir(current).filePath(typed);
    if (QFileInfo(typedPath).isDir()) {
        m_chosen = QDir::toNativeSeparators(QDir::cleanPath(typedPath));
        QDialog::accept();
        return;
    }
    if (!m_request.onTypedNameInvalid)
        return;
    std::optional<QString> next;
    try {
        next = m_request.onTypedNameInvalid(current, typed);
    } catch (...) {
        next = current; // a failing question keeps the dialog where it was
    }
    if (!next) {
        reject();
        return;
    }
    m_edit->clear();
    selectFolder(*next);
}

OutlookFolderPicker::OutlookFolderPicker(outlook::NameSpace& nameSpace, Dialogs& ask,
                                         QWidget* parent)
    : QDialog(parent), m_nameSpace(nameSpace), m_ask(ask), m_tree(new QTreeWidget(this)),
      m_new(new QPushButton(u"New..."_s, this))
{
    setWindowTitle(u"Select Folder"_s);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(u"Folders:"_s, this));
    m_tree->setObjectName(u"tvwFolders"_s);
    m_tree->setHeaderHidden(true);
    layout->addWidget(m_tree, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_new->setObjectName(u"cmdNew"_s);
    buttons->addButton(m_new, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (selectedFolder())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_new, &QPushButton::clicked, this, &OutlookFolderPicker::newFolder);
    connect(m_tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { fillChildren(item, false); });
    layout->addWidget(buttons);

    try {
        const outlook::FoldersPtr stores = m_nameSpace.Folders();
        const int count = stores->Count();
        for (int i = 1; i <= count; ++i) {
            try {
                addEntry(nullptr, stores->Item(i));
            } catch (const std::exception&) {
                // a broken store is left out of the tree
            }
        }
    } catch (const std::exception&) {
    }
    if (m_tree->topLevelItemCount() > 0)
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
    resize(360, 420);
}

QTreeWidgetItem* OutlookFolderPicker::addEntry(QTreeWidgetItem* parent,
                                               const outlook::FolderPtr& folder)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, folder->Name());
    m_folders.insert(item, folder);
    // Children are read when the entry is opened.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void OutlookFolderPicker::fillChildren(QTreeWidgetItem* item, bool again)
{
    if (!item || (item->data(0, Qt::UserRole).toBool() && !again))
        return;
    const outlook::FolderPtr folder = m_folders.value(item);
    if (!folder)
        return;
    for (QTreeWidgetItem* child : item->takeChildren()) {
        m_folders.remove(child);
        delete child;
    }
    item->setData(0, Qt::UserRole, true);
    try {
        const outlook::FoldersPtr children = folder->Folders();
        const int count = children->Count();
        for (int i = 1; i <= count; ++i)
            addEntry(item, children->Item(i));
    } catch (const std::exception&) {
        // an unreadable folder shows what could be read
    }
    item->setChildIndicatorPolicy(item->childCount() > 0
                                      ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

outlook::FolderPtr OutlookFolderPicker::selectedFolder() const
{
    return m_folders.value(m_tree->currentItem());
}

bool OutlookFolderPicker::selectPath(const QString& fullPath)
{
    QString rest = fullPath;
    while (rest.startsWith(u'\\'))
        rest.remove(0, 1);
    const QStringList names = rest.split(u'\\', Qt::SkipEmptyParts);
    QTreeWidgetItem* found = nullptr;
    for (const QString& name : names) {
        QTreeWidgetItem* next = nullptr;
        if (found)
            fillChildren(found, false);
        const int count = found ? found->childCount() : m_tree->topLevelItemCount();
        for (int i = 0; i < count && !next; ++i) {
            QTreeWidgetItem* candidate = found ? found->child(i) : m_tree->topLevelItem(i);
            if (candidate->text(0) == name)
                next = candidate;
        }
        if (!next)
            return false;
        found = next;
    }
    if (!found)
        return false;
    for (QTreeWidgetItem* up = found->parent(); up; up = up->parent())
        up->setExpanded(true);
    m_tree->setCurrentItem(found);
    return true;
}

void OutlookFolderPicker::newFolder()
{
    QTreeWidgetItem* item = m_tree->currentItem();
    const outlook::FolderPtr parentFolder = m_folders.value(item);
    if (!parentFolder)
        return;
    try {
        const QString name =
            m_ask.inputBox(u"Name:"_s, u"Create New Folder"_s, QString(), this).trimmed();
        if (name.isEmpty())
            return;
        const outlook::FolderPtr created = parentFolder->Folders()->Add(name);
        fillChildren(item, true);
        item->setExpanded(true);
        for (int i = 0; i < item->childCount(); ++i) {
            if (item->child(i)->text(0) == created->Name()) {
                m_tree->setCurrentItem(item->child(i));
                break;
            }
        }
    } catch (const std::exception& e) {
        MessageBoxRequest request;
        request.text = u"Cannot create the folder."_s + kCrLf + toError(e).description();
        request.title = productTitle();
        request.icon = Icon::Critical;
        request.owner = this;
        m_ask.messageBox(request);
    }
}

} // namespace lorvo
