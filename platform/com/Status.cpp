#include "com/Status.h"

#include <cstdio>

namespace com {

std::string statusText(HRESULT status) {
    switch (static_cast<std::uint32_t>(status)) {
    case 0x80004005u:
        return "Unspecified error";
    case 0x80004002u:
        return "No such interface supported";
    case 0x80070057u:
        return "The parameter is incorrect";
    case 0x80040154u:
        return "Class not registered";
    case 0x80020005u:
        return "Type mismatch";
    default:
        return {};
    }
}

std::string errorMessage(HRESULT status, const std::string& description) {
    if (!description.empty()) return description;
    std::string text = statusText(status);
    if (!text.empty()) return text;
    char buf[32];
    std::snprintf(buf, sizeof buf, "OLE error %.8x", static_cast<unsigned>(status));
    return buf;
}

} // namespace com
