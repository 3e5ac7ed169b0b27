#pragma once

// Reading an item's HTML body and saving the item to a file through the safe item component
// when it can be loaded and keyed, else directly through the Outlook item (modSafeItem and the
// window's getSafeHTMLBody/getSafeSaveItem). The component is the optional library of
// archive/safeitemplugin.h in the program's folder. Nothing here reports an error.

#include "shared/outlook.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace lorvo {
class Runtime;
}

namespace lorvo::archive {

class SafeItem
{
public:
    explicit SafeItem(Runtime& rt);
    ~SafeItem();
    SafeItem(const SafeItem&) = delete;
    SafeItem& operator=(const SafeItem&) = delete;

    /// The item's HTML body, through a fresh keyed wrapper when the component is ready, else from
    /// the item; a wrapper that fails falls back to the item. Empty when nothing could be read.
    QString getSafeHTMLBody(const outlook::ItemPtr& ouiMailItem);
    /// Saves the item to strPath in an Outlook save-as format (1: rich text), the same way.
    /// A failed save is not reported: the caller looks for the file.
    void getSafeSaveItem(const outlook::ItemPtr& ouiMailItem, const QString& strPath,
                         qint32 OLSaveTpe);
    /// What getSafeSaveItem would write, where the item saves itself: its SaveAsData. None where
    /// it has to be saved into a file: the component saves it (it writes files only), or the
    /// item gave no bytes.
    std::optional<QByteArray> getSafeSaveItemData(const outlook::ItemPtr& ouiMailItem,
                                                  qint32 OLSaveTpe);

    /// Whether the component may be used. The first call loads the library and keys its utility
    /// object, retrying once after subRegisterSafeComponent; a failure sticks for the program's
    /// life, a success too.
    bool fncSafeComponentReady();
    /// The one repair attempt before the retry: forgets the library that failed so that the
    /// retry loads it afresh. No external command runs on this platform.
    void subRegisterSafeComponent();

    /// The library's path without its platform suffix: program folder + "/Safetervane".
    QString componentPath() const;
    /// How often subRegisterSafeComponent ran (at most once per program run).
    int registrationAttempts() const { return m_registrations; }

private:
    struct Component;
    Runtime& m_rt;
    std::unique_ptr<Component> m_component;
    bool m_unavailable = false;
    int m_registrations = 0;
};

} // namespace lorvo::archive
