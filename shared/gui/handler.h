#pragma once

// The one way a window event handler runs work: nothing it throws reaches Qt's event loop.

#include <QString>
#include <functional>

namespace lorvo {

class Runtime;

/// Runs body for the handler named procedure. The end of the program (ProgramEnded) ends the work
/// silently; any other failure goes to the error report under procedure, which ends the program.
void runHandler(Runtime& rt, const QString& procedure, const std::function<void()>& body);

} // namespace lorvo
