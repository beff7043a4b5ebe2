#pragma once
// A tagged value with the kinds an automation variant carries: Empty, Null, Boolean, 16/32-bit integers,
// Double, Currency (fixed point, 4 decimals), Date (days since 1899-12-30, fraction = time of day) and
// String (UTF-8).
#include <cstdint>
#include <string>
#include <variant>

namespace com {

enum class VarType { Empty, Null, Boolean, Int16, Int32, Double, Currency, Date, String };

struct Currency {
    std::int64_t scaled = 0; // value * 10000
    friend bool operator==(const Currency&, const Currency&) = default;
};

struct Date {
    double days = 0.0; // OLE automation date
    friend bool operator==(const Date&, const Date&) = default;
};

struct NullValue {
    friend bool operator==(const NullValue&, const NullValue&) = default;
};

class Variant {
public:
    Variant() = default;
    static Variant null() { return Variant(NullValue{}); }
    Variant(NullValue v) : v_(v) {}
    Variant(bool b) : v_(b) {}
    Variant(std::int16_t i) : v_(i) {}
    Variant(std::int32_t i) : v_(i) {}
    Variant(double d) : v_(d) {}
    Variant(Currency c) : v_(c) {}
    Variant(Date d) : v_(d) {}
    Variant(std::string s) : v_(std::move(s)) {}
    Variant(const char* s) : v_(std::string(s)) {}

    VarType type() const { return static_cast<VarType>(v_.index()); }
    bool isEmpty() const { return type() == VarType::Empty; }
    bool isNull() const { return type() == VarType::Null; }
    bool isString() const { return type() == VarType::String; }
    bool isInteger() const { return type() == VarType::Int16 || type() == VarType::Int32; }

    bool toBool() const { return std::get<bool>(v_); }
    std::int16_t toInt16() const { return std::get<std::int16_t>(v_); }
    double toDouble() const { return std::get<double>(v_); }
    Currency toCurrency() const { return std::get<Currency>(v_); }
    Date toDate() const { return std::get<Date>(v_); }
    const std::string& toString() const { return std::get<std::string>(v_); }
    // Int16 or Int32 widened; throws std::bad_variant_access for any other kind.
    std::int32_t toInt32() const {
        if (type() == VarType::Int16) return std::get<std::int16_t>(v_);
        return std::get<std::int32_t>(v_);
    }

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    std::variant<std::monostate, NullValue, bool, std::int16_t, std::int32_t, double, Currency, Date,
                 std::string>
        v_;
};

} // namespace com
