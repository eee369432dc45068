#pragma once
// The one way paths reach the file functions on Windows: full, and in the
// extended-length form ("\\?\C:\..." or "\\?\UNC\srv\share\..."). That form
// lifts the 260-character limit, and it is passed to the file system as it
// stands, so a file named like a device (COM1.url, nul.url, aux.url) is a
// file: opened, listed and read like any other, never the device.
#include <string>

namespace vorpa {

// The full form of a path, made absolute and normalised ("/" to "\", "."
// and ".." resolved) by the platform. A last component named like a device
// is kept as a file name in its folder (the platform's own rule would turn
// "C:\dir\COM1.url" into the device "\\.\COM1"). Paths already in a device
// form ("\\?\...", "\\.\...") stay as they are; empty text stays empty.
std::wstring FullPathOf(const std::wstring& path);

// FullPathOf in the extended-length form: what every open, listing and
// attribute query gets.
std::wstring OpenablePath(const std::wstring& path);

}  // namespace vorpa
