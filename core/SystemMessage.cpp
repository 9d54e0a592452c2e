#include "core/SystemMessage.h"

namespace kit {

std::string SystemErrorMessage(unsigned long code, const char* module) {
    std::string text = PlatformMessage(code, module);
    return text.empty() ? "System error " + std::to_string(code) : text;
}

} // namespace kit
