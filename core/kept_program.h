// This program stays on the PC after an install, in the 32-bit Program Files folder: deployment
// systems check a package from there (/CHECK, without the package's content), and the
// Application event log takes the text of this program's events from its message table. The copy
// stays after the last package goes, for the events written until then.
#pragma once

#include "core/ports.h"
#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// "<32-bit Program Files>\Orvandi", read from the registry (never from the environment, which a
// user may set): the 32-bit view's ProgramFilesDir names the 32-bit folder on 64-bit Windows.
Result<Text> KeptProgramFolder(Registry& registry);
Text KeptProgramFile(const Text& folder);

// Copies the running program there unless a newer release, or this very file, is there already.
// The folder is given to the Administrators first, every time: only they and SYSTEM may change
// it. A copy there that is running is set aside, as a control in use is.
Status KeepProgram(Ports& ports, const Text& folder);

// The Application event log's source "Orvandi", its message table in the kept copy (by its
// literal path: the 64-bit event service would read %ProgramFiles% as the 64-bit folder). Written
// again when another program removed or changed it.
Status RegisterEventSource(Registry& registry, const Text& messageFile);

}  // namespace orvandi
