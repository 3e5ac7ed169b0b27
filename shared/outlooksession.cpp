#include "shared/outlooksession.h"

#include "shared/errorhandling.h"
#include "shared/filehandling.h"
#include "shared/runtime.h"
#include "shared/text.h"

#include <QDateTime>
#include <QMetaObject>
#include <QObject>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace lorvo {

namespace {

bool isNumeric(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    case QMetaType::QString: {
        bool ok = false;
        value.toString().trimmed().toDouble(&ok);
        return ok;
    }
    default:
        return false;
    }
}

double numberOf(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? -1.0 : 0.0; // true is -1 to the programs
    if (value.metaType().id() == QMetaType::QString)
        return value.toString().trimmed().toDouble();
    return value.toDouble();
}

// A whole number as the programs round it (to even), or nullopt when out of range.
std::optional<int> toInteger(const QVariant& value)
{
    const double rounded = std::nearbyint(numberOf(value));
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return int(rounded);
}

QString textOf(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? u"True"_s : u"False"_s;
    return value.toString();
}

std::optional<bool> booleanOf(const QVariant& value)
{
    if (isNumeric(value))
        return numberOf(value) != 0.0;
    const QString text = value.toString().trimmed();
    if (text.compare(u"True"_s, Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"False"_s, Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

// The date that stands for "no date".
QDateTime zeroDate()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

std::optional<QDateTime> dateOf(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDate().startOfDay();
    case QMetaType::QString: {
        const QDateTime parsed = QDateTime::fromString(value.toString().trimmed(), Qt::ISODate);
        if (parsed.isValid())
            return parsed;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

OutlookSession::OutlookSession(Runtime& rt) : m_rt(rt) {}

void OutlookSession::subConnectOutlook(qint32 defaultFolder)
{
    if (goOutlook)
        return;

    outlook::Provider& provider = m_rt.outlookProvider();
    outlook::ApplicationPtr app;
    ignoreErrors([&] { app = provider.GetRunning(); });
    const QString classNames[] = {
        QString(),
        u"Outlook.Application.12"_s,
        u"Outlook.Application.11"_s,
        u"Outlook.Application.10"_s,
        u"Outlook.Application.9"_s,
        u"Outlook.Application"_s,
    };
    for (const QString& className : classNames) {
        if (app)
            break;
        ignoreErrors([&] { app = provider.Create(className); });
    }
    if (!app) {
        m_rt.msgBox(u"Please start Outlook manually before you execute this application!"_s);
        subEndApplication();
    }
    goOutlook = app;

    qint16 version = 0;
    ignoreErrors([&] { version = OutlookVersion(); });
    if (version <= 8) {
        m_rt.msgBox(u"You need Outlook 2000 or later to run this application."_s + kCrLf +
                        QString::number(version),
                    Buttons::Ok, Icon::Critical, productTitle());
        subEndApplication();
    }
    ignoreErrors([&] { goNameSpace = goOutlook->GetNamespace(u"MAPI"_s); });

    ignoreErrors([&] {
        if (goOutlook->ActiveExplorer())
            return;
        const outlook::ExplorersPtr explorers = goOutlook->Explorers();
        if (explorers->Count() == 0) {
            const outlook::ExplorerPtr added =
                explorers->Add(goNameSpace->GetDefaultFolder(defaultFolder), 0);
            added->Display();
        }
        explorers->Item(1)->Activate();
    });
}

qint16 OutlookSession::OutlookVersion()
{
    m_rt.setStep(u"modOutlookCode.OutlookVersion"_s);
    if (m_versionCache == 0) {
        if (!goOutlook)
            subConnectOutlook(outlook::olFolderInbox);
        QString version = goOutlook->Version();
        m_versionCache = fncGetVersion(version);
    }
    return m_versionCache;
}

qint16 OutlookSession::fncGetVersion(QString& version)
{
    Trap trap(m_rt, u"fncGetVersion"_s);
    trap.step(10, u"modOutlookCode.fncGetVersion"_s);
    const qsizetype dot = version.indexOf(u'.');
    if (dot < 0)
        m_rt.errors().subHandleError(m_rt.errors().strErrorMessage(), err::InvalidCall, 20,
                                     trap.procedure());
    version = version.left(dot);
    bool ok = false;
    const qint16 major = version.trimmed().toShort(&ok);
    if (!ok)
        m_rt.errors().subHandleError(m_rt.errors().strErrorMessage(), err::TypeMismatch, 30,
                                     trap.procedure());
    return major;
}

outlook::FolderPtr OutlookSession::fncPickOutlookFolder(QObject* callingWindow)
{
    outlook::FolderPtr picked;
    m_rt.setStep(u"modOutlookCode.fncPickOutlookFolder"_s);
    ignoreErrors([&] {
        if (!goOutlook)
            subConnectOutlook(outlook::olFolderInbox);
    });
    ignoreErrors([&] { goOutlook->ActiveExplorer()->Activate(); });
    ignoreErrors([&] {
        if (!goNameSpace)
            goNameSpace = goOutlook->GetNamespace(u"MAPI"_s);
    });
    ignoreErrors([&] { picked = goNameSpace->PickFolder(); });
    if (callingWindow) {
        // Back to the window that asked, without naming widgets in the runtime.
        QMetaObject::invokeMethod(callingWindow, "raise");
        QMetaObject::invokeMethod(callingWindow, "setFocus");
    }
    return picked;
}

QString OutlookSession::fncGetFullFolderPath(const outlook::FolderPtr& folder,
                                             const outlook::NameSpacePtr& /*nameSpace*/)
{
    m_rt.setStep(u"Looping folder tree in order to get the full folder path"_s);
    QString path;
    ignoreErrors([&] {
        if (!folder)
            return;
        path = folder->Name();
        // The walk ends at the store's top folder, which has no parent. A folder on the way that
        // merely bears a store's name is not mistaken for the top.
        outlook::FolderPtr current = folder;
        for (int depth = 0; depth < 10000; ++depth) {
            outlook::FolderPtr parent = current->Parent();
            if (!parent) {
                path = u"\\\\"_s + path;
                return;
            }
            path = parent->Name() + u'\\' + path;
            current = std::move(parent);
        }
    });
    return path;
}

void OutlookSession::subGetRootCurrent(qint32 defaultFolder)
{
    m_rt.setStep(u"modOutlookCode.subGetRootCurrent"_s);
    const bool ok = ignoreErrors([&] {
        if (!goOutlook)
            subConnectOutlook(outlook::olFolderInbox);
        if (!goOutlook)
            throw Error(err::ObjectNotSet, u"Object variable not set"_s);
        outlook::ExplorerPtr explorer = goOutlook->ActiveExplorer();
        if (!explorer || !explorer->CurrentFolder()) {
            if (!goNameSpace)
                goNameSpace = goOutlook->GetNamespace(u"MAPI"_s);
            const outlook::ExplorerPtr added =
                goOutlook->Explorers()->Add(goNameSpace->GetDefaultFolder(defaultFolder), 0);
            added->Display();
            explorer = goOutlook->ActiveExplorer();
            if (!explorer)
                explorer = added;
        }
        goCurrentFolder = explorer->CurrentFolder();
        if (!goCurrentFolder)
            throw Error(err::ObjectNotSet, u"Object variable not set"_s);
    });
    if (!ok)
        subAssistantMessage(goOutlook, u"Unable to connect to current Outlook folder!"_s);
}

QVariant OutlookSession::fncGetOutlookValue(const outlook::ItemPtr& item, const QString& field,
                                            qint32 kind, const QVariant& defaultValue)
{
    m_rt.setStep(u"Reading the value of the Outlook property "_s + field);
    std::optional<QVariant> value;
    ignoreErrors([&] {
        if (item)
            value = item->FindUserProperty(field);
    });

    switch (kind) {
    case vbInteger: {
        const QVariant& source = value ? *value : defaultValue;
        if (!isNumeric(source))
            return QVariant(0);
        return QVariant(toInteger(source).value_or(0));
    }
    case vbDate:
        if (value)
            return QVariant(dateOf(*value).value_or(zeroDate()));
        return QVariant(zeroDate());
    case vbString: {
        if (!value)
            return QVariant(textOf(defaultValue));
        const QString text = textOf(*value);
        if (text.isEmpty() && !textOf(defaultValue).isEmpty())
            return QVariant(textOf(defaultValue));
        return QVariant(text);
    }
    case vbBoolean: {
        if (!value) {
            if (isNumeric(defaultValue))
                return QVariant(numberOf(defaultValue) != 0.0);
            return {};
        }
        const std::optional<bool> flag = booleanOf(*value);
        return flag ? QVariant(*flag) : QVariant();
    }
    default:
        return {};
    }
}

void OutlookSession::subEndApplication()
{
    goNameSpace.reset();
    goCurrentFolder.reset();
    goOutlook.reset();
    m_rt.files().releaseFileSystem();
    ProgramEnd& end = m_rt.programEnd();
    ignoreErrors([&] {
        if (!end.hasEnded())
            end.endProgram(0);
    });
    throw ProgramEnded{0};
}

namespace {

// The Office Assistant's alert; nullopt where there is no Assistant or it fails, so that the
// caller falls back to a message box.
std::optional<qint32> assistantAlert(Runtime& rt, const outlook::ApplicationPtr& app,
                                     const QString& text, qint32 buttons, qint32 icon)
{
    std::optional<qint32> result;
    ignoreErrors([&] {
        rt.setStep(u"Creating Assistant to display message "_s + text);
        const auto assistant = app ? app->Assistant() : nullptr;
        if (!assistant)
            throw Error(err::ObjectNotSet, u"Object variable not set"_s);
        assistant->SetVisible(true);
        result = assistant->DoAlert(productTitle(), text, buttons, icon, 0, -1, false);
    });
    return result;
}

} // namespace

void OutlookSession::subAssistantMessage(const outlook::ApplicationPtr& app, const QString& text)
{
    if (!assistantAlert(m_rt, app, text, outlook::msoAlertButtonOK, outlook::msoAlertIconInfo))
        m_rt.msgBox(text, Buttons::Ok, Icon::Information, productTitle());
}

Answer OutlookSession::fncAssistantQuestion(const outlook::ApplicationPtr& app, const QString& text,
                                            Buttons buttons)
{
    if (const auto answer = assistantAlert(m_rt, app, text, outlook::msoAlertButtonYesNo,
                                           outlook::msoAlertIconQuery))
        return Answer(*answer);
    return m_rt.msgBox(text, buttons, Icon::Question, productTitle());
}

outlook::FolderPtr folderAtFullPath(outlook::NameSpace& nameSpace, const QString& fullPath)
{
    const QStringList names = fullPath.split(u'\\', Qt::SkipEmptyParts);
    if (names.isEmpty())
        return nullptr;
    try {
        outlook::FolderPtr folder = nameSpace.Folders()->Item(names.first());
        for (qsizetype i = 1; folder && i < names.size(); ++i)
            folder = folder->Folders()->Item(names.at(i));
        return folder;
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace lorvo
