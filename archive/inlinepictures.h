#pragma once

// Inline pictures of an HTML body: Outlook's HTML refers to pictures carried as attachments by
// their content ID ("cid:image001.png@01D9..."), which no browser can follow from a page of the
// web archive. They are written beside the page as the word processor's pictures are.

#include "shared/outlook.h"

#include <QString>

namespace lorvo {
class Runtime;
}

namespace lorvo::archive {

/// Whether the body may refer to inline pictures at all (it holds "cid:").
bool mayHaveInlinePictures(const QString& body);

/// The body with each "cid:X" in an attribute value or url() that names an attachment of the item
/// by its content ID pointing to a copy of that attachment, written as
/// destination/n_files/imageNNN.ext (numbered after the pictures the body links there already).
/// A reference no attachment answers, or whose picture cannot be written, stays as it is; errors
/// are ignored. The item's attachment list is not touched. Each attachment is first saved under a
/// working name in workingFolder (the run's, where a killed run's leftovers are cleared).
QString linkInlinePictures(Runtime& rt, const outlook::ItemPtr& item, const QString& body,
                           const QString& destination, qint32 number, const QString& workingFolder);

} // namespace lorvo::archive
