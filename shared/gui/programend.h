#pragma once

// The end of a program with windows: every top-level window closed, then the event loop told to
// stop. main() asks hasEnded() before exec(), since an exit requested before exec() is lost.

#include "shared/platform.h"

namespace lorvo {

class QtProgramEnd final : public ProgramEnd
{
public:
    void endProgram(int exitCode) override;
    bool hasEnded() const override { return m_ended; }
    int exitCode() const { return m_exitCode; }

private:
    bool m_ended = false;
    int m_exitCode = 0;
};

} // namespace lorvo
