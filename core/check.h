// A package's check (/CHECK): the PC compared with what the package's record says was installed,
// changing nothing. A deployment system may run it every hour as a detection rule.
#pragma once

#include <vector>

#include "core/ports.h"
#include "core/result.h"
#include "core/text.h"

namespace orvandi {

struct Difference {
    enum Kind {
        kNotInstalled,       // no "Installed": the package's last install did not end well
        kNoCopy,             // the control is not in the system folder (or cannot be read)
        kOlder,              // its version is lower than the one recorded
        kUnreadableVersion,  // the record's version is not one
        kUnreadableClasses,  // the record's classes are not a list
        kClassGone,          // a class the install registered to the copy is registered no more
        kClassElsewhere,     // ... or registered to another file
    } kind;
    Text control, clsid;
    Text recorded, found;            // versions, or the other file
    std::optional<Failure> failure;  // kNoCopy: why it cannot be read
};

struct CheckOutcome {
    bool known = false;  // the PC has a record of the package
    std::vector<Difference> differences;
};

// Every recorded control is in the system folder with a version not lower than the recorded one
// ("0.0.0.0": a control without a version, compared by its presence and classes), and each class
// its install found registered to the copy still is. Classes the install only warned about are
// not recorded, so not compared; nor are those of a control recorded before classes were.
Result<CheckOutcome> CheckPackage(Ports& ports, const Text& package, const Text& systemFolder);

}  // namespace orvandi
