#include "shared/gui/windowhelpers.h"

#include "shared/browse.h"
#include "shared/runtime.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyleFactory>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace lorvo {

void subInitCommonControls()
{
    static bool done = false;
    if (done || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    done = true;
    const QStringList styles = QStyleFactory::keys();
    const QString native = u"windowsvista"_s;
    QApplication::setStyle(styles.contains(native, Qt::CaseInsensitive) ? native : u"Fusion"_s);
}

NumericKeyFilter::NumericKeyFilter(QObject* parent, int extraAllowed)
    : QObject(parent), m_extraAllowed(extraAllowed)
{
}

NumericKeyFilter* NumericKeyFilter::install(QLineEdit* edit, int extraAllowed)
{
    auto* filter = new NumericKeyFilter(edit, extraAllowed);
    edit->installEventFilter(filter);
    return filter;
}

bool NumericKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    int code = 0;
    if (key->key() == Qt::Key_Backspace)
        code = 8;
    else if (!key->text().isEmpty() && key->text().at(0).unicode() >= 32)
        code = key->text().at(0).unicode();
    else
        return false; // moving the cursor, deleting, shortcuts: no typed character
    subNumericKeyFilter(code, m_extraAllowed);
    return code == 0;
}

void subApplyBackColorToControl(QWidget* control, Runtime* rt)
{
    if (rt)
        ignoreErrors([&] { rt->setStep(u"Setting the background color of the control"_s); });
    QWidget* behind = control ? control->parentWidget() : nullptr;
    if (!behind)
        return;
    // Render what the parent shows at the control's centre with the control out of the way;
    // its place in the layout is kept, and no event runs in between.
    const QPoint centre = control->geometry().center();
    QImage pixel(1, 1, QImage::Format_ARGB32);
    pixel.fill(Qt::transparent);
    const bool wasVisible = control->isVisible();
    QSizePolicy policy = control->sizePolicy();
    const bool retained = policy.retainSizeWhenHidden();
    policy.setRetainSizeWhenHidden(true);
    control->setSizePolicy(policy);
    if (wasVisible)
        control->setVisible(false);
    behind->render(&pixel, QPoint(), QRegion(QRect(centre, QSize(1, 1))));
    if (wasVisible)
        control->setVisible(true);
    policy.setRetainSizeWhenHidden(retained);
    control->setSizePolicy(policy);

    const QColor colour = pixel.pixelColor(0, 0);
    if (colour.alpha() == 0)
        return; // nothing was drawn there: keep the control's own colour
    QPalette palette = control->palette();
    palette.setColor(control->backgroundRole(), colour);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

} // namespace lorvo
