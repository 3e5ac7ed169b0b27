#include "tests/support/testsupport.h"

#include "localoutlook/localoutlook.h"
#include "shared/outlooksession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace lorvo::test {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace {

bool answerFits(Answer answer, Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return answer == Answer::Ok;
    case Buttons::OkCancel:
        return answer == Answer::Ok || answer == Answer::Cancel;
    case Buttons::YesNo:
        return answer == Answer::Yes || answer == Answer::No;
    case Buttons::YesNoCancel:
        return answer == Answer::Yes || answer == Answer::No || answer == Answer::Cancel;
    case Buttons::RetryCancel:
        return answer == Answer::Retry || answer == Answer::Cancel;
    }
    return false;
}

bool isAtOrBelow(const QString& path, const QString& prefix)
{
    const QString p = QDir::cleanPath(QDir::fromNativeSeparators(path));
    const QString root = QDir::cleanPath(QDir::fromNativeSeparators(prefix));
    // A root ("/") ends with its separator already.
    return p == root || p.startsWith(root.endsWith(u'/') ? root : root + u'/');
}

} // namespace

ScriptedDialogs& ScriptedDialogs::answer(Answer a)
{
    m_script.push_back({Recorded::Message, a, {}, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::answerInput(const QString& text)
{
    m_script.push_back({Recorded::Input, Answer::Ok, text, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::answerBrowse(const QString& path)
{
    m_script.push_back({Recorded::Browse, Answer::Ok, path, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::answerBrowseTyped(const QString& currentFolder,
                                                    const QString& typedName)
{
    m_script.push_back({Recorded::Browse, Answer::Retry, currentFolder, typedName});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::answerPick(const QString& fullFolderPath)
{
    m_script.push_back({Recorded::Pick, Answer::Ok, fullFolderPath, {}});
    return *this;
}

QList<Recorded> ScriptedDialogs::messages() const
{
    QList<Recorded> result;
    for (const Recorded& r : requests) {
        if (r.kind == Recorded::Message)
            result.append(r);
    }
    return result;
}

std::optional<ScriptedDialogs::Step> ScriptedDialogs::take(Recorded::Kind kind, const QString& what)
{
    if (m_script.empty() || m_script.front().kind != kind) {
        unscripted.append(what);
        return std::nullopt;
    }
    Step step = m_script.front();
    m_script.pop_front();
    return step;
}

Answer ScriptedDialogs::messageBox(const MessageBoxRequest& request)
{
    Recorded r;
    r.kind = Recorded::Message;
    r.text = request.text;
    r.title = request.title;
    r.buttons = request.buttons;
    r.icon = request.icon;
    requests.append(r);
    // A scripted answer is kept for the box it fits, so that an OK notice in between does not
    // take the answer meant for the next question.
    if (!m_script.empty() && m_script.front().kind == Recorded::Message &&
        !answerFits(m_script.front().answer, request.buttons)) {
        unscripted.append(request.text);
        return refusalOf(request.buttons);
    }
    const auto step = take(Recorded::Message, request.text);
    return step ? step->answer : refusalOf(request.buttons);
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title,
                                  const QString& defaultText, QObject*)
{
    Recorded r;
    r.kind = Recorded::Input;
    r.text = prompt;
    r.title = title;
    r.defaultText = defaultText;
    requests.append(r);
    const auto step = take(Recorded::Input, prompt);
    return step ? step->text : QString();
}

QString ScriptedDialogs::browseForFolder(const FolderBrowseRequest& request)
{
    Recorded r;
    r.kind = Recorded::Browse;
    r.text = request.title;
    r.defaultText = request.startFolder;
    requests.append(r);
    const auto step = take(Recorded::Browse, request.title);
    if (!step)
        return {};
    if (step->answer != Answer::Retry)
        return step->text;
    // The user typed a name that does not exist while step->text was selected.
    if (!request.onTypedNameInvalid)
        return step->text;
    return request.onTypedNameInvalid(step->text, step->extra).value_or(QString());
}

outlook::FolderPtr ScriptedDialogs::pickOutlookFolder(outlook::NameSpace& nameSpace, QObject*)
{
    Recorded r;
    r.kind = Recorded::Pick;
    requests.append(r);
    const auto step = take(Recorded::Pick, u"(Outlook folder picker)"_s);
    if (!step || step->text.isEmpty())
        return nullptr;
    return folderAtPath(nameSpace, step->text);
}

outlook::FolderPtr folderAtPath(outlook::NameSpace& nameSpace, const QString& fullPath)
{
    return folderAtFullPath(nameSpace, fullPath);
}

int RecordingShell::open(const QString& pathOrAddress, WindowStyle)
{
    opened.append(pathOrAddress);
    return openResult;
}

void RecordingShell::run(const QString& commandLine, WindowStyle)
{
    ran.append(commandLine);
    if (runError)
        throw *runError;
}

QString TestPlatform::specialFolderPath(qint32 id, qint32)
{
    return id == CSIDL_PERSONAL ? documentsDir : QString();
}

void TestProgramEnd::endProgram(int code)
{
    ended = true;
    exitCode = code;
    if (onEnd)
        onEnd();
}

void FaultyFileSystem::failBelow(const QString& prefix, qint32 number)
{
    m_faults.append({prefix, number});
}

void FaultyFileSystem::check(const QString& path)
{
    for (const auto& [prefix, number] : std::as_const(m_faults)) {
        if (isAtOrBelow(path, prefix))
            throw Error(number, u"Injected failure at "_s + path);
    }
}

bool FaultyFileSystem::folderExists(const QString& path)
{
    return m_real.folderExists(path);
}

bool FaultyFileSystem::fileExists(const QString& path)
{
    return m_real.fileExists(path);
}

void FaultyFileSystem::createFolder(const QString& path)
{
    check(path);
    m_real.createFolder(path);
}

void FaultyFileSystem::writeFile(const QString& path, const QByteArray& bytes,
                                 const QDateTime& modified)
{
    check(path);
    m_real.writeFile(path, bytes, modified);
}

void FaultyFileSystem::setModificationTime(const QString& path, const QDateTime& time)
{
    check(path);
    m_real.setModificationTime(path, time);
}

QByteArray FaultyFileSystem::readFile(const QString& path)
{
    return m_real.readFile(path);
}

void FaultyFileSystem::deleteFile(const QString& path, bool force)
{
    check(path);
    m_real.deleteFile(path, force);
}

void FaultyFileSystem::deleteFolder(const QString& path, bool force)
{
    check(path);
    m_real.deleteFolder(path, force);
}

std::unique_ptr<TextSink> FaultyFileSystem::createTextFile(const QString& path)
{
    check(path);
    return m_real.createTextFile(path);
}

namespace {

const char* const kRedirected[] = {"LORVO_OUTLOOK_PROFILE", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                   "XDG_CACHE_HOME"};

} // namespace

TestRuntime::TestRuntime(const QString& programTitle, bool createProfile)
{
    if (!dir.isValid())
        qFatal("TestRuntime: no temporary folder");
    if (QCoreApplication::organizationName().isEmpty())
        QCoreApplication::setOrganizationName(u"LorvoTests"_s);

    for (const char* name : kRedirected) {
        m_savedEnvironment.append({QByteArray(name), qEnvironmentVariableIsSet(name)
                                                         ? std::optional<QByteArray>(qgetenv(name))
                                                         : std::nullopt});
    }

    profileDir = path(u"profile"_s);
    qputenv("LORVO_OUTLOOK_PROFILE", QFile::encodeName(profileDir));
    for (const auto& [name, folder] :
         {std::pair{"XDG_CONFIG_HOME", "config"}, std::pair{"XDG_DATA_HOME", "data"},
          std::pair{"XDG_CACHE_HOME", "cache"}}) {
        const QString target = path(QString::fromLatin1(folder));
        QDir().mkpath(target);
        qputenv(name, QFile::encodeName(target));
    }
    const QString settingsDir = path(u"settings"_s);
    QDir().mkpath(settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, settingsDir);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, settingsDir);

    platform.documentsDir = path(u"Documents"_s);
    platform.programDir = path(u"program"_s);
    QDir().mkpath(platform.documentsDir);
    QDir().mkpath(platform.programDir);

    if (createProfile)
        localoutlook::initProfile(profileDir);
    outlook = std::make_unique<localoutlook::Provider>(profileDir, dialogs, shell);
    rt = std::make_unique<Runtime>(Services{dialogs, shell, fs, platform, end, *outlook},
                                   programTitle);
}

TestRuntime::~TestRuntime()
{
    rt.reset();
    outlook.reset();
    for (const auto& [name, value] : std::as_const(m_savedEnvironment)) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

QString TestRuntime::path(const QString& relative) const
{
    return dir.filePath(relative);
}

} // namespace lorvo::test
