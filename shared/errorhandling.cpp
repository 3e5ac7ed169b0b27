#include "shared/errorhandling.h"

#include "shared/filehandling.h"
#include "shared/outlooksession.h"
#include "shared/runtime.h"
#include "shared/text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace lorvo {

namespace {

// The message box never shows more of the report; the e-mail carries all of it.
constexpr qsizetype kMaxBoxText = 255;

// The error report is the defined text, kept letter for letter: the colon doubled as " :" after
// the first two captions, the blank after the procedure's name, "occured" and the doubled
// question mark are intended. Support staff know the report in this form.
// %1 step text, %2 description, %3 number, %4 procedure, %5 line.
const QString kReport = u"This error has occured: :\r\n%1\r\n\r\n"
                        u"The system error message was: :\r\n%2\r\n#%3\r\n\r\n"
                        u"Sub routine : %4 \r\nError on line: %5"_s;
// The box around it: %1 program title, %2 operating system, %3 a rule of 70 dashes, %4 the report.
const QString kReportBox = u"There has been an error in this application. %1 (%2)\r\n%3\r\n\r\n"
                           u"%4\r\n\r\nWould you like to send an e-mail with an error report??"_s;

} // namespace

ErrorHandling::ErrorHandling(Runtime& rt) : m_rt(rt)
{
    // Off in normal runs; support staff switch it on for one run with LORVO_LOG=1.
    blnLogging = qEnvironmentVariable("LORVO_LOG") == u"1"_s;
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
        m_errorText =
            kReport.arg(m_step, message, QString::number(number), procedure, QString::number(line));
        const QString dialogText =
            kReportBox.arg(productTitle(), fncGetOS(), QString(70, u'-'), m_errorText);
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
            m_errorText += kCrLf + u"Outlook Version: "_s + version + kCrLf;
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
            throw Error(err::ObjectNotSet, u"Object variable not set"_s);
        outlook::MailItemPtr mail = app->CreateItem(outlook::olMailItem);
        if (!mail)
            throw Error(err::ObjectNotSet, u"Object variable not set"_s);
        mail->SetTo(supportAddress());
        mail->SetSubject(u"Error in "_s + productTitle() + u" "_s + fncAppVersion() + u" ("_s +
                         fncGetOS() + u")"_s);
        mail->SetBody(m_errorText);
        mail->Save();
        mail->Display();
    });
    if (!sent) {
        ignoreErrors([&] {
            m_rt.msgBox(u"Failed to send error email using MS Outlook!"_s, Buttons::Ok,
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
            productTitle() + u'\t' +
            QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat) + u'\t' +
            text + kCrLf;
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
        const QString candidate =
            fncClearEndSlash(documents) + QDir::separator() + u"Tervane"_s + QDir::separator();
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
    return folder + productTitle() + u"_log.txt"_s;
}

QString ErrorHandling::fncGetOS()
{
    const OsVersion os = m_rt.platform().osVersion();
    switch (os.platformId) {
    case 2:
        return u"Windows NT "_s + QString::number(os.major) + u'.' + QString::number(os.minor);
    case 1:
        switch (os.minor) {
        case 0:
            return u"Windows 95"_s;
        case 10:
            return u"Windows 98"_s;
        case 90:
            return u"Windows Me"_s;
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
    return QString::number(p.versionMajor()) + u'.' + QString::number(p.versionMinor()) + u'.' +
           QString::number(p.versionRevision());
}

} // namespace lorvo
