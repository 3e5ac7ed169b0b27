#pragma once

// The one way the programs ask the user anything: message boxes, the input box, the file-system
// folder browser and Outlook's folder picker. Qt dialogs implement it (shared/gui/qtdialogs.h);
// tests use the scripted double of the test-support library, which records every message.

#include "shared/outlook.h"

#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace lorvo {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
// Values of the classic message-box answers, as the programs compare them (6 is Yes).
enum class Answer : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// What a box answers when it is closed without a button: the "no" of its buttons (OK for a box
// that has only OK).
constexpr Answer refusalOf(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::YesNo:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

struct MessageBoxRequest
{
    QString text;
    QString title; // never empty: callers pass the program's title when they name none
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    QObject* owner = nullptr;
    QString fullText; // the whole message where text is only what the box shows of it; or empty
};

// The folder browser's callback when the user typed a name that is not an existing folder:
// returns the folder to select and keep the dialog open on, or nullopt to close the dialog.
using TypedNameHandler =
    std::function<std::optional<QString>(const QString& currentFolder, const QString& typedName)>;

struct FolderBrowseRequest
{
    QString title;
    QString startFolder; // empty: none
    qint32 flags = 0;
    QObject* owner = nullptr;
    TypedNameHandler onTypedNameInvalid; // may be empty
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    /// Shows a modal message box and returns the button pressed.
    virtual Answer messageBox(const MessageBoxRequest& request) = 0;
    /// Shows the input box; the empty string when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText, QObject* owner) = 0;
    /// Shows the file-system folder browser; the chosen path, or empty when cancelled.
    virtual QString browseForFolder(const FolderBrowseRequest& request) = 0;
    /// Shows Outlook's folder picker over the namespace's stores; null when cancelled.
    virtual outlook::FolderPtr pickOutlookFolder(outlook::NameSpace& nameSpace, QObject* owner) = 0;
};

} // namespace lorvo
