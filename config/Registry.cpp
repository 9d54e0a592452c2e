#include "config/Registry.h"

#include "core/ErrorText.h"
#include "kit/Handles.h"
#include "kit/SystemError.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace kg {

namespace {

// A string value: sized by the registry, read into a buffer one byte larger so
// that a value stored without its NUL still ends inside the buffer.
std::string readStringValue(HKEY key, const std::string& valueName) {
    // The value may grow between the size query and the read; try a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LSTATUS rc = RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, &size);
        if (rc != ERROR_SUCCESS) kit::RaiseOSError(static_cast<DWORD>(rc));
        std::string buffer(static_cast<size_t>(size) + 1, '\0');
        DWORD type = 0;
        DWORD len = size;
        rc = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &len);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) kit::RaiseOSError(static_cast<DWORD>(rc));
        if (type != REG_SZ && type != REG_EXPAND_SZ) kit::RaiseOSError(ERROR_CANTREAD);
        buffer.resize(len < size ? len : size);
        // The text ends at its first NUL, as every reader of a string value sees it.
        const size_t end = buffer.find('\0');
        if (end != std::string::npos) buffer.resize(end);
        return buffer;
    }
    kit::RaiseOSError(ERROR_MORE_DATA);
}

std::string readIntegerValue(HKEY key, const std::string& valueName) {
    DWORD value = 0;
    DWORD type = 0;
    DWORD len = sizeof value;
    LSTATUS rc = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &len);
    if (rc != ERROR_SUCCESS) kit::RaiseOSError(static_cast<DWORD>(rc));
    if (type != REG_DWORD || len != sizeof value) kit::RaiseOSError(ERROR_CANTREAD);
    return std::to_string(static_cast<int32_t>(value));
}

std::string readBinaryValue(HKEY key, const std::string& valueName) {
    DWORD dataSize = 0;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, &dataSize) != ERROR_SUCCESS)
        throw kit::Error("GetRegistryData: DataSize = -1");
    std::string buffer(dataSize, '\0');
    DWORD type = 0;
    DWORD len = dataSize;
    LSTATUS rc = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &len);
    if (rc == ERROR_MORE_DATA) throw kit::Error("GetRegistryData: Len <> DataSize");
    if (rc != ERROR_SUCCESS) kit::RaiseOSError(static_cast<DWORD>(rc));
    if (type != REG_BINARY) kit::RaiseOSError(ERROR_CANTREAD);
    if (len != dataSize) throw kit::Error("GetRegistryData: Len <> DataSize");
    return buffer;
}

int storedTypeCode(HKEY key, const std::string& valueName) {
    DWORD type = 0;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return RegistryType::Unknown;
    switch (type) {
    case REG_SZ: return RegistryType::String;
    case REG_EXPAND_SZ: return RegistryType::ExpandString;
    case REG_DWORD: return RegistryType::Integer;
    case REG_BINARY: return RegistryType::Binary;
    default: return RegistryType::Unknown;
    }
}

// The whole text must be a signed decimal number in the 32-bit range.
int32_t toInt32(const std::string& text) {
    int32_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    // from_chars takes a "-" but no "+"; a sign may come once.
    if (first != last && *first == '+' && (first + 1 == last || first[1] != '-')) ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last)
        throw kit::Error("'" + kit::Quote(text) + "' is not a valid integer value");
    return value;
}

void storeValue(HKEY key, const std::string& valueName, DWORD type, const void* data, size_t size) {
    if (size > std::numeric_limits<DWORD>::max()) kit::RaiseOSError(ERROR_CANTWRITE);
    const LSTATUS rc = RegSetValueExA(key, valueName.c_str(), 0, type, static_cast<const BYTE*>(data),
                                      static_cast<DWORD>(size));
    if (rc != ERROR_SUCCESS) kit::RaiseOSError(static_cast<DWORD>(rc));
}

} // namespace

std::string ReadRegistryData(HKEY root, const std::string& keyPath, const std::string& valueName) {
    kit::unique_hkey key;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
    switch (storedTypeCode(key.get(), valueName)) {
    case RegistryType::String:
    case RegistryType::ExpandString: return readStringValue(key.get(), valueName);
    case RegistryType::Integer: return readIntegerValue(key.get(), valueName);
    case RegistryType::Binary: return readBinaryValue(key.get(), valueName);
    default: kit::RaiseOSError(ERROR_CANTREAD);
    }
}

std::string GetRegistryData(HKEY root, const std::string& keyPath, const std::string& valueName) noexcept {
    try {
        return ReadRegistryData(root, keyPath, valueName);
    } catch (...) {
        return {};
    }
}

bool RegistryValueExists(HKEY root, const std::string& keyPath, const std::string& valueName) noexcept {
    kit::unique_hkey key;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    return RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void SetRegistryData(HKEY root, const std::string& keyPath, const std::string& valueName,
                     const std::string& value, int typeCode) {
    kit::unique_hkey key;
    // The code the call answers is the reason; GetLastError is not set by the registry functions.
    const LSTATUS rc = RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS) kit::RaiseOSError(static_cast<DWORD>(rc));

    const int type = typeCode == RegistryType::Unknown ? storedTypeCode(key.get(), valueName) : typeCode;
    switch (type) {
    case RegistryType::String:
        storeValue(key.get(), valueName, REG_SZ, value.c_str(), value.size() + 1);
        break;
    case RegistryType::ExpandString:
        storeValue(key.get(), valueName, REG_EXPAND_SZ, value.c_str(), value.size() + 1);
        break;
    case RegistryType::Integer: {
        const DWORD number = static_cast<DWORD>(toInt32(value));
        storeValue(key.get(), valueName, REG_DWORD, &number, sizeof number);
        break;
    }
    case RegistryType::Binary:
        storeValue(key.get(), valueName, REG_BINARY, value.data(), value.size());
        break;
    default:
        kit::RaiseOSError(ERROR_CANTWRITE);
    }
}

} // namespace kg
