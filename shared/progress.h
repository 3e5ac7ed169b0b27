#pragma once

// The progress of a long command-line run on stderr: a bar redrawn in place on a terminal, one
// line per step where stderr goes to a file or a scheduler's log.

#include <QString>

class QTextStream;

namespace lorvo {

class ProgressLine
{
public:
    /// label: the word in front ("Publishing"); bar: stderr is a terminal.
    ProgressLine(QTextStream& err, QString label, bool bar);

    /// Shows value of maximum; nothing when the value is the one shown.
    void show(int value, int maximum);
    /// Ends the bar's line, so that a message starts on its own.
    void end();

private:
    QTextStream& m_err;
    QString m_label;
    bool m_bar;
    bool m_shown = false;
    int m_last = -1;
};

} // namespace lorvo
