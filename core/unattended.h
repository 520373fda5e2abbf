// The program as a deployment system starts it (Intune, Configuration Manager, a startup
// script): switches on the command line, no window and no message, regsvr32 waited for, an exit
// code such systems understand, and, for an administrator's console, a log, an Application event
// and the package's last run in its registry key.
#pragma once

#include "core/command_line.h"
#include "core/ports.h"
#include "core/text.h"

namespace orvandi {

// Installs (placing each control as the window's run does, then registering it) or uninstalls
// every control the window would list, one at a time, or checks a package; shows the help when
// asked. Answers the exit code: only those of exit_codes.h, whatever happens (a fault that would
// end the program ends it with 1603). A named package is uninstalled from its record instead, and
// its install releases what the package recorded and no longer holds. `arguments` and `version`
// go into the log's first line and the event.
int RunUnattended(Ports& ports, const Switches& switches, const Text& arguments,
                  const Text& version);

}  // namespace orvandi
