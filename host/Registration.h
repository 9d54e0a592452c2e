#pragma once
// The registry entries that make a browser list the band among its toolbars:
// the class under HKEY_CLASSES_ROOT, the desk-band category, the browser's
// list of toolbars and the toolbar key's "Date". Each bitness of the DLL
// writes its own registry view, as the system redirects it.
#include <string>

namespace kg {

inline constexpr char DeskBandCategoryText[] = "{00021492-0000-0000-C000-000000000046}";
inline constexpr char ToolbarListKeyPath[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";

// Writes the entries in order. The generic steps raise kit::Error "Error
// creating system registry entry"; the own steps skip a key that cannot be
// opened and raise when a value cannot be written.
void RegisterServer(const std::string& modulePath, const std::string& description);
// Removes them in order; never raises. The toolbar key stays.
void UnregisterServer() noexcept;

// The path written for the server: its short form when it holds a blank.
std::string ServerPathForRegistry(const std::string& modulePath);
// Yesterday in the user's short date format.
std::string YesterdayShortDate();

} // namespace kg
