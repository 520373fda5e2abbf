// What the window offers and where it installs: worked out once, when the window loads.
#pragma once

#include "core/entry_list.h"
#include "core/files.h"
#include "core/result.h"
#include "core/system.h"
#include "core/text.h"

namespace orvandi {

// Appends to `list`, in listing order, every plain file matching
// applicationFolder + "\OCX\*.ocx". The list holds at most 32767 entries: the next one fails with
// the overflow Failure, leaving the first 32767 in place.
Status ScanControlFiles(Files& files, const Text& applicationFolder, EntryList& list);

// "windir" followed by "\SYSTEM32" when "OS" is not empty, by "\SYSTEM" otherwise.
Result<Text> ResolveSystemFolder(System& system);

}  // namespace orvandi
