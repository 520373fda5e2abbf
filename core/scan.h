// What the window offers and where it installs: worked out once, when the window loads.
#pragma once

#include "core/entry_list.h"
#include "core/platform.h"
#include "core/text.h"

namespace orvandi {

// Appends to `list`, in listing order, every plain file matching
// applicationFolder + "\OCX\*.ocx". The list holds at most 32767 entries: the next one raises
// the overflow Failure, leaving the first 32767 in place.
void ScanControlFiles(Platform& platform, const Text& applicationFolder, EntryList& list);

// "windir" followed by "\SYSTEM32" when "OS" is not empty, by "\SYSTEM" otherwise.
Text ResolveSystemFolder(Platform& platform);

}  // namespace orvandi
