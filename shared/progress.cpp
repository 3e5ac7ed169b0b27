#include "shared/progress.h"

#include <QTextStream>

namespace lorvo {

ProgressLine::ProgressLine(QTextStream& err, QString label, bool bar)
    : m_err(err), m_label(std::move(label)), m_bar(bar)
{
}

void ProgressLine::show(int value, int maximum)
{
    if (m_shown && value == m_last)
        return;
    m_shown = true;
    m_last = value;
    const int top = qMax(maximum, 1);
    const int clamped = qBound(0, value, top);
    if (m_bar) {
        constexpr int width = 30;
        const int filled = clamped * width / top;
        m_err << '\r' << m_label << " [" << QString(filled, u'#') << QString(width - filled, u' ')
              << "] " << clamped << '/' << maximum;
        m_err.flush();
    } else {
        m_err << m_label << ": " << clamped << '/' << maximum << Qt::endl;
    }
}

void ProgressLine::end()
{
    if (m_shown && m_bar)
        m_err << Qt::endl;
    m_shown = false;
    m_last = -1;
}

} // namespace lorvo
