#include "core/SystemMessage.h"

#include <system_error>

namespace kit {

std::string PlatformMessage(unsigned long code, const char*) {
    std::string text = std::system_category().message(static_cast<int>(code));
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) text.pop_back();
    return text;
}

} // namespace kit
