#pragma once

// What the procedures of one program share: the platform services behind their seams and the
// module-level state of the shared runtime (step text, Outlook session, file helpers). Each
// program builds one Runtime in main(); each test builds its own with doubles.

#include "shared/dialogs.h"
#include "shared/error.h"
#include "shared/filesystem.h"
#include "shared/outlook.h"
#include "shared/platform.h"
#include "shared/shell.h"

#include <QString>

#include <memory>

namespace lorvo {

class ErrorHandling;
class OutlookSession;
class FileHandling;

// The product title: the title of the shared code's message boxes.
inline QString productTitle() { return QStringLiteral("Lorvo for Outlook"); }
// The support address that error reports are mailed to.
inline QString supportAddress() { return QStringLiteral("support@lorvo.example"); }
// The maker's web address, shown by the programs' links.
inline QString vendorWebAddress() { return QStringLiteral("https://lorvo.example/"); }

struct Services
{
    Dialogs& dialogs;
    Shell& shell;
    FileSystem& fs;
    Platform& platform;
    ProgramEnd& end;
    outlook::Provider& outlook;
};

class Runtime
{
public:
    // programTitle: the title of a message box that names none ("LorvoArchive").
    Runtime(Services services, QString programTitle);
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    Dialogs& dialogs() { return m_services.dialogs; }
    Shell& shell() { return m_services.shell; }
    FileSystem& fs() { return m_services.fs; }
    Platform& platform() { return m_services.platform; }
    ProgramEnd& programEnd() { return m_services.end; }
    outlook::Provider& outlookProvider() { return m_services.outlook; }
    const QString& programTitle() const { return m_programTitle; }

    ErrorHandling& errors() { return *m_errors; }
    OutlookSession& session() { return *m_session; }
    FileHandling& files() { return *m_files; }

    // The step text (strErrorMessage) of ErrorHandling, for brevity at call sites.
    void setStep(const QString& text);

    // A message box; an empty title means the program's title.
    Answer msgBox(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                  const QString& title = {}, QObject* owner = nullptr);

private:
    Services m_services;
    QString m_programTitle;
    std::unique_ptr<ErrorHandling> m_errors;
    std::unique_ptr<OutlookSession> m_session;
    std::unique_ptr<FileHandling> m_files;
};

// A trapping procedure: sets the step text and line before each risky step and reports any
// failure under its name through subHandleError, which ends the program.
//
//   Trap t(rt, u"modMain.subInstall"_s);
//   return t.run([&] { t.step(10, u"Initializing files to be copied."_s); ... return true; });
class Trap
{
public:
    Trap(Runtime& rt, QString procedure);

    // Sets the line (the report quotes it) and the step text.
    void step(int line, const QString& text);
    // Sets the line only.
    void at(int line) { m_line = line; }
    int line() const { return m_line; }
    const QString& procedure() const { return m_procedure; }

    template <class F>
    auto run(F&& body) -> decltype(body())
    {
        try {
            return body();
        } catch (const ProgramEnded&) {
            throw;
        } catch (const std::exception& e) {
            report(e);
        }
    }

    // Hands the failure to subHandleError; never returns.
    [[noreturn]] void report(const std::exception& e);

private:
    Runtime& m_rt;
    QString m_procedure;
    int m_line = 0;
};

} // namespace lorvo
