// Programs the run starts (regsvr32), and those that hold a file open.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// Window style for Launch: minimized, taking the focus.
inline constexpr int kWindowMinimizedFocus = 2;

// How a program that was waited for ended.
enum class Ending {
    kExited,          // by itself, in time
    kEndedAtTimeout,  // still running when the time was up, and ended then with all it started
    kWouldNotEnd,     // still running when the time was up, and still running after being ended
    kNotPlaced,       // not run: Windows refused the job placement asked for
};

struct Finished {
    Ending ending = Ending::kExited;
    std::uint32_t exitCode = 0;
};

// Where RunAndWait puts the program it starts: in a job of its own (inside the job this program
// runs in, if any), in a job of its own broken away from that one, or in no job at all.
enum class JobPlacement { kOwnJob, kBreakaway, kAlone };

// A program that holds a file open.
struct Holder {
    Text name;
    std::uint32_t processId = 0;
};

class Processes {
  public:
    virtual ~Processes() = default;

    // Starts the program named by the command line's first word, with the rest as its arguments,
    // and answers at once with a task number. The program is looked for in the system folder
    // only.
    virtual Result<std::int32_t> Launch(const Text& commandLine, int windowStyle) = 0;
    // Starts a program as Launch does, but hidden, in a job as `placement` says, and waits for it
    // up to `timeoutMs`. One still running then is ended, with everything it started when it is
    // in a job; so it is when this program ends before it. kAlone is never refused.
    virtual Result<Finished> RunAndWait(const Text& commandLine, std::uint32_t timeoutMs,
                                        JobPlacement placement) = 0;
    // The programs that hold a file open, as far as Windows tells; nothing when it cannot.
    virtual std::optional<std::vector<Holder>> Holders(const Text& path) = 0;
};

}  // namespace orvandi
