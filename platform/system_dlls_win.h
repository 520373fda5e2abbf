// Where the program's DLLs come from: the system folder only.
#pragma once

namespace orvandi {

// Makes every DLL loaded by name from now on come from the system folder only, never from the
// program's own folder or the current one. False when the search cannot be changed: the program
// must then end before it shows anything.
bool LoadDllsFromTheSystemFolderOnly();

// The same on a Windows 7 without SetDefaultDllDirectories: takes the current folder out of the
// DLL search and loads from the system folder, by full path, the DLLs the window would otherwise
// look for beside the program first. False when the search cannot be changed.
bool PreloadSystemDlls();

}  // namespace orvandi
