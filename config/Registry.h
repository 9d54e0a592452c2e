#pragma once
// Reading and writing single registry values as 8-bit text. Every value of the
// toolbar key goes through these two helpers at run time.
#include "core/SystemMessage.h"

#include <windows.h>
#include <string>

namespace kg {

// Value type codes of the registry helpers; every other stored type counts as Unknown.
namespace RegistryType {
inline constexpr int Unknown = 0;
inline constexpr int String = 1;       // REG_SZ
inline constexpr int ExpandString = 2; // REG_EXPAND_SZ
inline constexpr int Integer = 3;      // REG_DWORD
inline constexpr int Binary = 4;       // REG_BINARY
} // namespace RegistryType

// The platform's message text for a system error code, without the trailing
// line break and full stop.
using kit::SystemErrorMessage;

// The value as text: strings as stored (up to the first NUL, environment
// variables not expanded), integers as signed decimal text, binary data as its
// bytes. A missing key or value, another type or any failure gives "".
// Never raises.
std::string GetRegistryData(HKEY root, const std::string& keyPath, const std::string& valueName) noexcept;

// Like GetRegistryData, but a failure after the key was opened raises
// kit::OSError / kit::Error with its message; a key that cannot be opened
// still gives "".
std::string ReadRegistryData(HKEY root, const std::string& keyPath, const std::string& valueName);

// The key can be opened for reading and holds a value of that name.
bool RegistryValueExists(HKEY root, const std::string& keyPath, const std::string& valueName) noexcept;

// Stores value under valueName, creating any missing part of keyPath.
// typeCode is one of RegistryType; Unknown keeps the type of the existing
// value and fails when there is none. Raises kit::OSError with the platform's
// message, or kit::Error for an Integer text that is not a 32-bit number.
void SetRegistryData(HKEY root, const std::string& keyPath, const std::string& valueName,
                     const std::string& value, int typeCode);

} // namespace kg
