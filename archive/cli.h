#pragma once

// Publishing without the window, for support staff who regenerate the web archive on a schedule:
//
//   LorvoArchive --generate [--destination DIR] [--group category-type|none] ...
//
// It drives the window's own logic (stored settings, the knowledge-base folder, the two lists,
// the generators) with no window and nobody to ask: any question or message the window would
// show ends the run with that text on stderr. Options left out keep the values stored by the
// window; nothing is stored back.

#include "shared/commandline.h"

#include <QStringList>

class QTextStream;

namespace lorvo::archive {

class ImageCodec;
class SettingsBackend;

/// Whether main()'s argument count asks for the command line: any argument does, so that a
/// mistyped option is reported instead of opening the window.
bool isCommandLineMode(int argc);

// What the command line works with besides its arguments.
struct CommandLineServices
{
    OutlookFactory makeOutlook;
    ImageCodec& codec;
    SettingsBackend& settings;
    bool progressBar = false; // stderr is a terminal: one redrawn bar instead of lines
};

/// Runs the command line (program name first); returns the exit code: 0 published, 1 failed
/// (also when articles were left out of a site that was written), 2 wrong arguments. Prints the
/// path of index.htm on out, progress and problems on err.
int runCommandLine(const QStringList& arguments, const CommandLineServices& services,
                   QTextStream& out, QTextStream& err);

} // namespace lorvo::archive
