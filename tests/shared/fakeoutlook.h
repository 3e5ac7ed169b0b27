#pragma once

// Small doubles of the Outlook seam for the cases the local Outlook cannot produce: no Outlook at
// all, an Outlook whose mail or windows fail, an Office Assistant, items with chosen fields.

#include "shared/error.h"
#include "shared/outlook.h"

#include <QStringList>
#include <functional>
#include <map>

namespace lorvo::test {

class FakeAssistant final : public outlook::Assistant
{
public:
    void SetVisible(bool v) override { visible = v; }
    qint32 DoAlert(const QString& title, const QString& text, qint32 buttons, qint32 icon,
                   qint32 defaultButton, qint32 cancelButton, bool systemAlert) override
    {
        alerts.append(QStringList{title, text, QString::number(buttons), QString::number(icon),
                                  QString::number(defaultButton), QString::number(cancelButton),
                                  systemAlert ? QStringLiteral("true") : QStringLiteral("false")});
        return reply;
    }
    bool visible = false;
    qint32 reply = 6;
    QList<QStringList> alerts;
};

// An application whose every window and mail operation fails.
class BrokenApplication final : public outlook::Application
{
public:
    QString Version() override { return version; }
    outlook::NameSpacePtr GetNamespace(const QString&) override { return nullptr; }
    outlook::ExplorerPtr ActiveExplorer() override { throw fail(); }
    outlook::ExplorersPtr Explorers() override { throw fail(); }
    QString ActiveWindowCaption() override { return {}; }
    outlook::MailItemPtr CreateItem(qint32) override { throw fail(); }
    std::shared_ptr<outlook::Assistant> Assistant() override { return assistant; }

    QString version = QStringLiteral("11.0.0.1");
    std::shared_ptr<FakeAssistant> assistant;

private:
    static Error fail() { return Error(err::ObjectModelBase + 5, QStringLiteral("Refused")); }
};

// Counts every attempt to reach Outlook; gives the application it is handed (or none).
class CountingProvider final : public outlook::Provider
{
public:
    outlook::ApplicationPtr GetRunning() override
    {
        calls.append(QStringLiteral("GetRunning"));
        return running;
    }
    outlook::ApplicationPtr Create(const QString& className) override
    {
        calls.append(QStringLiteral("Create:") + className);
        return created;
    }
    QStringList calls;
    outlook::ApplicationPtr running;
    outlook::ApplicationPtr created;
};

// An item with the user fields it is given.
class FieldItem final : public outlook::Item
{
public:
    QString EntryID() override { return QStringLiteral("field-item"); }
    QString MessageClass() override { return QStringLiteral("IPM.Post"); }
    QString Subject() override { return {}; }
    QString HTMLBody() override { return {}; }
    QString Body() override { return {}; }
    QDateTime LastModificationTime() override { return {}; }
    outlook::AttachmentsPtr Attachments() override { return nullptr; }
    void SaveAs(const QString&, qint32) override {}
    QByteArray SaveAsData(qint32) override { return {}; }
    std::optional<QVariant> FindUserProperty(const QString& name) override
    {
        for (const auto& [key, value] : fields) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return std::nullopt;
    }
    std::map<QString, QVariant> fields;
};

} // namespace lorvo::test
