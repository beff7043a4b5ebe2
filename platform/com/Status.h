#pragma once
// Status codes of the object layer and the exception that carries a failed status.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace com {

using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);

// The platform's own text for a status code; empty when it has none.
std::string statusText(HRESULT status);

// A failed call: the status and the description supplied with it (possibly empty).
class ComError : public std::runtime_error {
public:
    ComError(HRESULT status, const std::string& description)
        : std::runtime_error(description), status_(status), description_(description) {}
    HRESULT status() const { return status_; }
    const std::string& description() const { return description_; }

private:
    HRESULT status_;
    std::string description_;
};

// The message a caller shows for a failed call: the description; else the status text; else
// "OLE error %.8x".
std::string errorMessage(HRESULT status, const std::string& description);

} // namespace com
