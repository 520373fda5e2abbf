// The DLL search on Windows 7 without SetDefaultDllDirectories.
#pragma once

namespace orvandi {

// Takes the current folder out of the DLL search and loads from the system folder, by full path,
// the DLLs the window would otherwise look for beside the program first. False when the search
// cannot be changed.
bool PreloadSystemDlls();

}  // namespace orvandi
