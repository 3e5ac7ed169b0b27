#pragma once

// The table of contents' head and the files the pages link (style sheet, outline script, bullet
// picture), shared by the flat and the outline generator.

#include "shared/filesystem.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace lorvo {
class Runtime;
}

namespace lorvo::archive {

/// The head of index.htm: the plain one, or with collapsible set the one that loads outline.js.
QByteArray tocHead(bool collapsible);

/// Opens a new index.htm at path holding the head for the collapsible flag (non-zero:
/// collapsible). The caller writes the lists and the closing markup (in Windows-1252, see
/// archive/encoding.h) and commits the sink, which replaces whatever file is at path, a
/// read-only one too; a sink dropped uncommitted leaves a writable old file as it was. Errors
/// are reported under "fncWriteTOC" and end the program.
std::unique_ptr<TextSink> fncWriteTOC(Runtime& rt, const QString& path, quint8 collapsible);

/// Writes style.css, outline.js (only when iCollapse is exactly 1) and Images/bulletredsmall.gif
/// into strOutputPath (no trailing separator) from the program's resources, replacing what is
/// there. Errors are reported under "subExtractFilesFromResource" and end the program.
void subExtractFilesFromResource(Runtime& rt, const QString& strOutputPath, quint8 iCollapse);

/// The text after the last path separator ("\" or "/"), or the whole path when it holds none.
QString fncGetFileName(const QString& path);

} // namespace lorvo::archive
