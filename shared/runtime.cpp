#include "shared/runtime.h"

#include "shared/errorhandling.h"
#include "shared/filehandling.h"
#include "shared/outlooksession.h"

namespace lorvo {

Runtime::Runtime(Services services, QString programTitle)
    : m_services(services), m_programTitle(std::move(programTitle)),
      m_errors(std::make_unique<ErrorHandling>(*this)),
      m_session(std::make_unique<OutlookSession>(*this)),
      m_files(std::make_unique<FileHandling>(*this))
{
}

Runtime::~Runtime() = default;

void Runtime::setStep(const QString& text)
{
    m_errors->setStrErrorMessage(text);
}

Answer Runtime::msgBox(const QString& text, Buttons buttons, Icon icon, const QString& title,
                       QObject* owner)
{
    MessageBoxRequest request;
    request.text = text;
    request.title = title.isEmpty() ? m_programTitle : title;
    request.buttons = buttons;
    request.icon = icon;
    request.owner = owner;
    return m_services.dialogs.messageBox(request);
}

Trap::Trap(Runtime& rt, QString procedure) : m_rt(rt), m_procedure(std::move(procedure)) {}

void Trap::step(int line, const QString& text)
{
    m_line = line;
    m_rt.setStep(text);
}

void Trap::report(const std::exception& e)
{
    const Error error = toError(e);
    m_rt.errors().subHandleError(error.description(), error.number(), m_line, m_procedure);
}

} // namespace lorvo
