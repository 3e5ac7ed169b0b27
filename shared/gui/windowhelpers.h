#pragma once

// Small helpers for the programs' windows: the look set up before the first window, the key
// filter of number boxes, and a control coloured like what lies behind it.

#include <QObject>

class QLineEdit;
class QWidget;

namespace lorvo {

class Runtime;

/// Gives the application the system's look once, before the first window opens.
void subInitCommonControls();

/// Swallows every typed character of a line edit but digits, Backspace and one extra character.
class NumericKeyFilter final : public QObject
{
    Q_OBJECT
public:
    NumericKeyFilter(QObject* parent, int extraAllowed);
    /// Installs a filter that lives as long as the edit.
    static NumericKeyFilter* install(QLineEdit* edit, int extraAllowed = 0);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_extraAllowed;
};

/// Gives the control the colour of the pixel behind its centre; keeps its colour when that
/// cannot be had. rt, when given, receives the step text.
void subApplyBackColorToControl(QWidget* control, Runtime* rt = nullptr);

} // namespace lorvo
