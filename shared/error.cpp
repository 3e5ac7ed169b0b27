#include "shared/error.h"

namespace lorvo {

Error::Error(qint32 number, QString description)
    : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8())
{
}

Error toError(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const Error*>(&e))
        return *own;
    return Error(0, QString::fromLocal8Bit(e.what()));
}

bool ignoreErrors(const std::function<void()>& statement)
{
    try {
        statement();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace lorvo
