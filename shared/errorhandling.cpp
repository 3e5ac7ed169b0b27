#include "shared/errorhandling.h"

#include "shared/filehandling.h"
#include "shared/outlooksession.h"
#include "shared/runtime.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

namespace lorvo {

namespace {

const auto kCrLf = QStringLiteral("\r\n");
// The message box never shows more of the report; the e-mail carries all of it.
constexpr qsizetype kMaxBoxText = 255;

} // namespace

ErrorHandling::ErrorHandling(Runtime& rt) : m_rt(rt)
{
    // Off in normal runs; support staff switch it on for one run with LORVO_LOG=1.
    blnLogging = qEnvironmentVariable("LORVO_LOG") == QStringLiteral("1");
}

void ErrorHandling::setStrErrorMessage(const QString& text)
{
    m_step = text;
    if (blnLogging)
        subLog(text);
}

void ErrorHandling::subHandleError(const QString& message, qint32 number, int line,
                                   const QString& procedure)
{
    if (!m_inErrorHandler) {
        const QString headline = QStringLiteral("There has been an error in this application. ") +
                                 productTitle() + QStringLiteral(" (") + fncGetOS() +
                                 QStringLiteral(")") + kCrLf + QString(70, QLatin1Char('-')) +
                                 kCrLf + kCrLf;
        m_errorText = QStringLiteral("This error has occured:") + QStringLiteral(" :") + kCrLf +
                      m_step + kCrLf + kCrLf + QStringLiteral("The system error message was:") +
                      QStringLiteral(" :") + kCrLf + message + kCrLf + QStringLiteral("#") +
                      QString::number(number) + kCrLf + kCrLf + QStringLiteral("Sub routine") +
                      QStringLiteral(" : ") + procedure + QStringLiteral(" ") + kCrLf +
                      QStringLiteral("Error on line") + QStringLiteral(": ") +
                      QString::number(line);
        const QString dialogText =
            headline + m_errorText + kCrLf + kCrLf +
            QStringLiteral("Would you like to send an e-mail with an error report?") +
            QStringLiteral("?");
        m_inErrorHandler = true;

        Answer answer = Answer::No;
        ignoreErrors([&] {
            MessageBoxRequest request;
            request.text = dialogText.left(kMaxBoxText);
            // A command line has no box to fit: it prints the whole report, reason included.
            request.fullText = dialogText;
            request.title = productTitle();
            request.buttons = Buttons::YesNo;
            answer = m_rt.dialogs().messageBox(request);
        });
        if (answer == Answer::Yes) {
            OutlookSession& session = m_rt.session();
            if (!session.goOutlook)
                session.subConnectOutlook(outlook::olFolderInbox);
            QString version;
            ignoreErrors([&] { version = session.goOutlook->Version(); });
            m_errorText += kCrLf + QStringLiteral("Outlook Version: ") + version + kCrLf;
            subSendErrorMail();
        }
    }
    m_rt.session().subEndApplication();
}

void ErrorHandling::subSendErrorMail()
{
    const bool sent = ignoreErrors([&] {
        const outlook::ApplicationPtr app = m_rt.session().goOutlook;
        if (!app)
            throw Error(err::ObjectNotSet, QStringLiteral("Object variable not set"));
        outlook::MailItemPtr mail = app->CreateItem(outlook::olMailItem);
        if (!mail)
            throw Error(err::ObjectNotSet, QStringLiteral("Object variable not set"));
        mail->SetTo(supportAddress());
        mail->SetSubject(QStringLiteral("Error in ") + productTitle() + QStringLiteral(" ") +
                         fncAppVersion() + QStringLiteral(" (") + fncGetOS() + QStringLiteral(")"));
        mail->SetBody(m_errorText);
        mail->Save();
        mail->Display();
    });
    if (!sent) {
        ignoreErrors([&] {
            m_rt.msgBox(QStringLiteral("Failed to send error email using MS Outlook!"), Buttons::Ok,
                        Icon::Critical, productTitle());
        });
    }
    m_rt.session().subEndApplication();
}

void ErrorHandling::subLog(const QString& text)
{
    ignoreErrors([&] {
        if (text.isEmpty())
            return;
        const QString path = fncGetLogFile();
        if (path.isEmpty())
            return;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        const QString line =
            productTitle() + QLatin1Char('\t') +
            QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat) +
            QLatin1Char('\t') + text + kCrLf;
        file.write(line.toLocal8Bit());
    });
}

QString ErrorHandling::fncGetLogFolder()
{
    // A log that cannot be written is dropped: diagnostics must never end the program.
    QString folder;
    ignoreErrors([&] {
        FileHandling& files = m_rt.files();
        files.subSetupFS();
        const QString documents = files.fncGetSpecialFolderPath(CSIDL_PERSONAL, 0);
        if (documents.isEmpty())
            return;
        const QString candidate = fncClearEndSlash(documents) + QDir::separator() +
                                  QStringLiteral("Tervane") + QDir::separator();
        if (!m_rt.fs().folderExists(candidate))
            m_rt.fs().createFolder(candidate);
        folder = candidate;
    });
    return folder;
}

QString ErrorHandling::fncGetLogFile()
{
    const QString folder = fncGetLogFolder();
    if (folder.isEmpty())
        return {};
    return folder + productTitle() + QStringLiteral("_log.txt");
}

QString ErrorHandling::fncGetOS()
{
    const OsVersion os = m_rt.platform().osVersion();
    switch (os.platformId) {
    case 2:
        return QStringLiteral("Windows NT ") + QString::number(os.major) + QLatin1Char('.') +
               QString::number(os.minor);
    case 1:
        switch (os.minor) {
        case 0:
            return QStringLiteral("Windows 95");
        case 10:
            return QStringLiteral("Windows 98");
        case 90:
            return QStringLiteral("Windows Me");
        default:
            return {};
        }
    default:
        return os.otherName;
    }
}

QString ErrorHandling::fncAppVersion()
{
    Platform& p = m_rt.platform();
    return QString::number(p.versionMajor()) + QLatin1Char('.') +
           QString::number(p.versionMinor()) + QLatin1Char('.') +
           QString::number(p.versionRevision());
}

} // namespace lorvo
