#pragma once

// The Outlook object model as the programs use it: exactly the operations they call, under
// Outlook's published names. Collections are one-based. Every operation may raise lorvo::Error
// (number and description); none crashes on a removed folder or a broken store.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace outlook {

class Application;
class Assistant;
class Attachment;
class Attachments;
class Explorer;
class Explorers;
class Folder;
class Folders;
class Item;
class Items;
class MailItem;
class NameSpace;

using ApplicationPtr = std::shared_ptr<Application>;
using AttachmentPtr = std::shared_ptr<Attachment>;
using AttachmentsPtr = std::shared_ptr<Attachments>;
using ExplorerPtr = std::shared_ptr<Explorer>;
using ExplorersPtr = std::shared_ptr<Explorers>;
using FolderPtr = std::shared_ptr<Folder>;
using FoldersPtr = std::shared_ptr<Folders>;
using ItemPtr = std::shared_ptr<Item>;
using ItemsPtr = std::shared_ptr<Items>;
using MailItemPtr = std::shared_ptr<MailItem>;
using NameSpacePtr = std::shared_ptr<NameSpace>;

// Default folder kinds of GetDefaultFolder.
enum DefaultFolder : qint32 {
    olFolderDeletedItems = 3,
    olFolderOutbox = 4,
    olFolderSentMail = 5,
    olFolderInbox = 6,
    olFolderCalendar = 9,
    olFolderContacts = 10,
    olFolderJournal = 11,
    olFolderNotes = 12,
    olFolderTasks = 13,
    olFolderDrafts = 16,
};

// Default item types of a folder.
enum ItemType : qint32 {
    olMailItem = 0,
    olAppointmentItem = 1,
    olContactItem = 2,
    olTaskItem = 3,
    olJournalItem = 4,
    olNoteItem = 5,
    olPostItem = 6,
};

// Save-as types of Item::SaveAs.
enum SaveAsType : qint32 {
    olTXT = 0,
    olRTF = 1,
    olMSG = 3,
    olHTML = 5,
};

// Message-box button and icon codes of Assistant::DoAlert.
enum AlertButtons : qint32 { msoAlertButtonOK = 0, msoAlertButtonYesNo = 4 };
enum AlertIcon : qint32 { msoAlertIconNoIcon = 0, msoAlertIconQuery = 2, msoAlertIconInfo = 4 };

class Folders
{
public:
    virtual ~Folders() = default;
    /// Number of subfolders.
    virtual int Count() = 0;
    /// The subfolder at a one-based position; error when out of range.
    virtual FolderPtr Item(int index) = 0;
    /// The subfolder (or store top folder) of that display name, compared exactly; error when none.
    virtual FolderPtr Item(const QString& name) = 0;
    /// Creates a subfolder; error when the folder refuses subfolders or the name is taken.
    virtual FolderPtr Add(const QString& name) = 0;
    /// Deletes the subfolder at a one-based position with everything in it.
    virtual void Remove(int index) = 0;
};

class Folder
{
public:
    virtual ~Folder() = default;
    /// Display name.
    virtual QString Name() = 0;
    /// Renames the folder.
    virtual void SetName(const QString& name) = 0;
    /// The parent folder, or null for a store's top folder.
    virtual FolderPtr Parent() = 0;
    /// Identifier of the folder, stable for its life.
    virtual QString EntryID() = 0;
    /// Identifier of the store holding the folder.
    virtual QString StoreID() = 0;
    /// The subfolders.
    virtual FoldersPtr Folders() = 0;
    /// Copies this folder with everything in it under target; returns the copy.
    virtual FolderPtr CopyTo(const FolderPtr& target) = 0;
    /// 0 mail, 6 post, and so on (ItemType).
    virtual qint32 DefaultItemType() = 0;
    /// The home-page address; empty when none.
    virtual QString WebViewURL() = 0;
    /// Sets the home-page address.
    virtual void SetWebViewURL(const QString& url) = 0;
    /// Whether the home page is shown instead of the items.
    virtual bool WebViewOn() = 0;
    /// Switches the home-page view.
    virtual void SetWebViewOn(bool on) = 0;
    /// The items of the folder.
    virtual ItemsPtr Items() = 0;
};

class Items
{
public:
    virtual ~Items() = default;
    /// Number of items.
    virtual int Count() = 0;
    /// The item at a one-based position, in the folder's own order; error when out of range.
    virtual ItemPtr Item(int index) = 0;
};

class Item
{
public:
    virtual ~Item() = default;
    /// Identifier of the item, stable while it stays in its store (GetItemFromID finds it).
    virtual QString EntryID() = 0;
    /// Message class, such as IPM.Post.HelpdeskKBArticle.
    virtual QString MessageClass() = 0;
    /// Subject.
    virtual QString Subject() = 0;
    /// HTML body; empty when the item has none.
    virtual QString HTMLBody() = 0;
    /// Plain-text body.
    virtual QString Body() = 0;
    /// When the item was last changed; invalid when the store does not know.
    virtual QDateTime LastModificationTime() = 0;
    /// The attachments.
    virtual AttachmentsPtr Attachments() = 0;
    /// Writes the item to a file in a SaveAsType format.
    virtual void SaveAs(const QString& path, qint32 type) = 0;
    /// The bytes SaveAs writes in a SaveAsType format, without a file.
    virtual QByteArray SaveAsData(qint32 type) = 0;
    /// The user-defined field of that name (name compared without regard to case), or none.
    virtual std::optional<QVariant> FindUserProperty(const QString& name) = 0;
};

class Attachments
{
public:
    virtual ~Attachments() = default;
    /// Number of attachments.
    virtual int Count() = 0;
    /// The attachment at a one-based position.
    virtual AttachmentPtr Item(int index) = 0;
};

class Attachment
{
public:
    virtual ~Attachment() = default;
    /// The name shown for the attachment, usually its file name.
    virtual QString DisplayName() = 0;
    /// The name an HTML body refers to the attachment by ("cid:..."); empty when none.
    virtual QString ContentID() = 0;
    /// Writes a copy of the attachment's data to a file.
    virtual void SaveAsFile(const QString& path) = 0;
};

class MailItem
{
public:
    virtual ~MailItem() = default;
    /// Sets the recipients.
    virtual void SetTo(const QString& to) = 0;
    /// Sets the subject.
    virtual void SetSubject(const QString& subject) = 0;
    /// Sets the plain-text body.
    virtual void SetBody(const QString& body) = 0;
    /// Saves the unsent message to Drafts.
    virtual void Save() = 0;
    /// Shows the message to the user, without waiting.
    virtual void Display() = 0;
};

class Explorer
{
public:
    virtual ~Explorer() = default;
    /// Brings the window to the front.
    virtual void Activate() = 0;
    /// Shows the window.
    virtual void Display() = 0;
    /// The folder the window shows, or null.
    virtual FolderPtr CurrentFolder() = 0;
    /// Makes the window show that folder (the explorer's default member called with a folder).
    virtual void SetCurrentFolder(const FolderPtr& folder) = 0;
    /// The window's title.
    virtual QString Caption() = 0;
};

class Explorers
{
public:
    virtual ~Explorers() = default;
    /// Number of open explorer windows.
    virtual int Count() = 0;
    /// Opens a new window on a folder (display mode 0, normal); it is not shown until Display.
    virtual ExplorerPtr Add(const FolderPtr& folder, qint32 displayMode) = 0;
    /// The window at a one-based position.
    virtual ExplorerPtr Item(int index) = 0;
};

class NameSpace
{
public:
    virtual ~NameSpace() = default;
    /// A default folder of the default store (DefaultFolder).
    virtual FolderPtr GetDefaultFolder(qint32 kind) = 0;
    /// The item of that identifier in the store of storeId; error when it no longer exists.
    virtual ItemPtr GetItemFromID(const QString& entryId, const QString& storeId) = 0;
    /// Lets the user choose a folder; null when cancelled.
    virtual FolderPtr PickFolder() = 0;
    /// The top folders of every open store.
    virtual FoldersPtr Folders() = 0;
    /// Attaches a store file to the profile.
    virtual void AddStore(const QString& path) = 0;
    /// Detaches the store whose top folder is given.
    virtual void RemoveStore(const FolderPtr& storeTopFolder) = 0;
};

class Assistant
{
public:
    virtual ~Assistant() = default;
    /// Shows or hides the assistant.
    virtual void SetVisible(bool visible) = 0;
    /// Shows an alert and returns the button pressed (6 Yes, 7 No, 1 OK).
    virtual qint32 DoAlert(const QString& title, const QString& text, qint32 buttons, qint32 icon,
                           qint32 defaultButton, qint32 cancelButton, bool systemAlert) = 0;
};

class Application
{
public:
    virtual ~Application() = default;
    /// Version text, such as "12.0.4518.1014".
    virtual QString Version() = 0;
    /// The namespace of that type; only "MAPI" exists.
    virtual NameSpacePtr GetNamespace(const QString& type) = 0;
    /// The front explorer window, or null.
    virtual ExplorerPtr ActiveExplorer() = 0;
    /// The explorer windows.
    virtual ExplorersPtr Explorers() = 0;
    /// Title of the front window, empty when none.
    virtual QString ActiveWindowCaption() = 0;
    /// A new unsaved item; only type 0, a mail item, is used.
    virtual MailItemPtr CreateItem(qint32 type) = 0;
    /// The Office Assistant, or null where none is available.
    virtual std::shared_ptr<outlook::Assistant> Assistant() = 0;
};

// How a program reaches Outlook: attach to a running instance or start one.
class Provider
{
public:
    virtual ~Provider() = default;
    /// The running Outlook, or null.
    virtual ApplicationPtr GetRunning() = 0;
    /// Starts Outlook by class name ("" for the referenced type library), or null.
    virtual ApplicationPtr Create(const QString& className) = 0;
};

} // namespace outlook
