#pragma once

// Error numbers of the local Outlook: the object-model base plus the codes Outlook's message
// store reports for the same situations, so that a report reads like one from Outlook.

#include "shared/error.h"

namespace localoutlook::errc {

inline constexpr qint32 NoSupport = lorvo::err::ObjectModelBase + 0x102; // refused by the folder
inline constexpr qint32 NoAccess = lorvo::err::ObjectModelBase + 0x105;  // read-only folder
inline constexpr qint32 NotFound = lorvo::err::ObjectModelBase + 0x10F;  // removed or unknown
inline constexpr qint32 Corrupt = lorvo::err::ObjectModelBase + 0x11B;   // not a usable store
inline constexpr qint32 Collision = lorvo::err::ObjectModelBase + 0x604; // name already taken
inline constexpr qint32 BadIndex = qint32(0x8002000B);                   // out of range
inline constexpr qint32 InvalidArgument = qint32(0x80070057);

} // namespace localoutlook::errc
