#include "shared/gui/topmost.h"

#include <QWidget>

namespace lorvo {

namespace {

void setStaysOnTop(QWidget* window, bool on)
{
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    // Changing a window flag hides a shown window; show it again where it was.
    const bool wasVisible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (wasVisible)
        window->show();
}

} // namespace

void MakeTopMost(QWidget* window)
{
    setStaysOnTop(window, true);
}

void MakeNormal(QWidget* window)
{
    setStaysOnTop(window, false);
}

} // namespace lorvo
