#pragma once

// Keeping a window above the others (clsAlwaysOnTop).

class QWidget;

namespace lorvo {

/// Keeps the window above all normal windows.
void MakeTopMost(QWidget* window);
/// Lets the window go behind others again.
void MakeNormal(QWidget* window);

} // namespace lorvo
