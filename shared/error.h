#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace lorvo {

// Error numbers the programs and the local Outlook raise; they are the ones users and support
// staff know from the error report.
namespace err {
inline constexpr qint32 InvalidCall = 5;
inline constexpr qint32 Overflow = 6;
inline constexpr qint32 TypeMismatch = 13;
inline constexpr qint32 FileNotFound = 53;
inline constexpr qint32 FileExists = 58;
inline constexpr qint32 PermissionDenied = 70;
inline constexpr qint32 PathFileAccess = 75;
inline constexpr qint32 PathNotFound = 76;
inline constexpr qint32 ObjectNotSet = 91;
inline constexpr qint32 CannotCreateObject = 429;
inline constexpr qint32 OperationCancelled = qint32(0x800704C7);
// Errors of the object model: the application-error base plus a small number.
inline constexpr qint32 ObjectModelBase = qint32(0x80040000);
} // namespace err

// A failure with a number and a description: what every seam raises and every trap reports.
class Error : public std::exception
{
public:
    Error(qint32 number, QString description);

    qint32 number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_description;
    QByteArray m_what;
};

// Thrown by subEndApplication once the program has been told to end: it unwinds to the window
// handler or main() that started the work. Deliberately not a std::exception, so that no
// "errors ignored" region swallows the end of the program.
struct ProgramEnded
{
    int exitCode = 0;
};

// The error of an exception as the report quotes it. Unknown exceptions get number 0.
Error toError(const std::exception& e);

// Runs one statement "with errors ignored": a failure is dropped and the caller goes on.
// Returns whether the statement succeeded. ProgramEnded always passes through.
bool ignoreErrors(const std::function<void()>& statement);

} // namespace lorvo
