// What the log says about a control's registration beyond regsvr32's exit code. When regsvr32
// could not load the control (exit code 3), which DLLs or side-by-side assemblies it needs that
// Windows would not find. When it registered, which classes its type library describes (their
// CLSIDs are what detection rules and application-control allow-lists need), and whether the
// machine's registration of each points at the copy just installed: a 0 from regsvr32 does not
// prove that, when another copy of the control was registered earlier from elsewhere.
#pragma once

#include <vector>

#include "core/platform.h"
#include "core/text.h"

namespace orvandi {

// "; mancano: ..." or the words that say nothing missing was found. `copy` is the control in the
// system folder, `searchFolders` where Windows looks for the DLLs it imports: the system folder,
// the Windows folder and the folders on PATH.
Text MissingText(UnattendedPlatform& platform, const Text& copy,
                 const std::vector<Text>& searchFolders);

// The folders where Windows looks for the DLLs a control in the system folder imports.
std::vector<Text> SearchFolders(UnattendedPlatform& platform, const Text& systemFolder,
                                const Text& windowsFolder);

// Appends to `line` what the copy registered, and answers whether the machine's registration of
// each creatable class names the copy itself. A class a user registered for themselves with
// another file is a warning only: it concerns that user alone.
bool CheckRegistration(UnattendedPlatform& platform, const Text& copy, const Text& systemFolder,
                       Text& line);

// The identities (attributes of <assemblyIdentity>) of the side-by-side assemblies a manifest
// depends on, those only whose values could name an assembly.
std::vector<Text> DependentAssemblies(const Text& manifest);

}  // namespace orvandi
