#pragma once

// The desktop's shell: documents and addresses through QDesktopServices, programs through
// QProcess.

#include "shared/shell.h"

namespace lorvo {

class QtShell final : public Shell
{
public:
    int open(const QString& pathOrAddress, WindowStyle style) override;
    void run(const QString& commandLine, WindowStyle style) override;
    QString browserCommand() override;
};

} // namespace lorvo
