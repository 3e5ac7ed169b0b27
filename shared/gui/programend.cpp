#include "shared/gui/programend.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace lorvo {

void QtProgramEnd::endProgram(int exitCode)
{
    // A window's close handler may end the program again while we close it.
    if (m_ended)
        return;
    m_ended = true;
    m_exitCode = exitCode;

    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows.append(w);
    // Last loaded first, as the windows were unloaded before.
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        QWidget* w = it->data();
        if (!w)
            continue;
        w->close();
        if (*it)
            w->hide(); // a window that refused to close still goes away: the program ends
    }
    QCoreApplication::exit(exitCode);
}

} // namespace lorvo
