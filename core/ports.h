// Every way the core reaches the system, one port per concern. The window's run needs only some
// of them; an unattended run takes them all.
#pragma once

#include "core/clock.h"
#include "core/events.h"
#include "core/files.h"
#include "core/log.h"
#include "core/processes.h"
#include "core/registry.h"
#include "core/system.h"

namespace orvandi {

struct Ports {
    System& system;
    Files& files;
    Registry& registry;
    Processes& processes;
    Log& log;
    Events& events;
    Clock& clock;
};

}  // namespace orvandi
