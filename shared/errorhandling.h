#pragma once

// The error reporter, the step text and the log (modErroHandling).

#include <QString>

namespace lorvo {

class Runtime;

class ErrorHandling
{
public:
    explicit ErrorHandling(Runtime& rt);

    /// The current step text.
    QString strErrorMessage() const { return m_step; }
    /// Stores the step text; logs it while logging is on.
    void setStrErrorMessage(const QString& text);

    /// Shows the report, offers the e-mail, and ends the program (throws ProgramEnded).
    [[noreturn]] void subHandleError(const QString& message, qint32 number, int line,
                                     const QString& procedure);
    /// Composes and displays the error e-mail, then ends the program.
    [[noreturn]] void subSendErrorMail();
    /// Appends one line to the log file.
    void subLog(const QString& text);
    /// The log folder with a trailing separator, or empty.
    QString fncGetLogFolder();
    /// The full path of the log file.
    QString fncGetLogFile();
    /// The operating system's name for the report.
    QString fncGetOS();
    /// The program's major.minor.revision.
    QString fncAppVersion();

    /// The detail block of the last report (the e-mail body).
    const QString& errorText() const { return m_errorText; }
    /// The logging switch; off unless LORVO_LOG=1 is set for a support case.
    bool blnLogging = false;

private:
    Runtime& m_rt;
    QString m_step;
    QString m_errorText;
    bool m_inErrorHandler = false;
};

} // namespace lorvo
