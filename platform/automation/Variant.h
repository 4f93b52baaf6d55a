#pragma once
// The automation value: the handful of types our controls and hosts pass.

#include "Unknown.h"

#include <cstdint>
#include <string>
#include <variant>

namespace automation {

struct IDispatch;

enum VarType : std::uint16_t {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
};

using VARIANT_BOOL = std::int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

class Variant {
public:
    Variant() = default;
    static Variant I2(std::int16_t v) { return Variant(Value(std::in_place_index<1>, v)); }
    static Variant I4(std::int32_t v) { return Variant(Value(std::in_place_index<2>, v)); }
    static Variant R4(float v) { return Variant(Value(std::in_place_index<3>, v)); }
    static Variant R8(double v) { return Variant(Value(std::in_place_index<4>, v)); }
    static Variant Bool(bool v) { return Variant(Value(std::in_place_index<5>, v)); }
    // Strings are UTF-8 here; automation strings carry no other encoding.
    static Variant Str(std::string v) {
        return Variant(Value(std::in_place_index<6>, std::move(v)));
    }
    static Variant Error(HRESULT code) {
        return Variant(Value(std::in_place_index<7>, ErrorCode{code}));
    }
    // What a caller passes for an optional argument it leaves out.
    static Variant Missing() { return Error(DISP_E_PARAMNOTFOUND); }
    // Shares the object: the variant holds a reference of its own.
    static Variant Dispatch(IDispatch* d);
    static Variant Unknown(IUnknown* u);

    VarType Type() const;
    bool IsEmpty() const { return value_.index() == 0; }
    bool IsMissing() const;

    // Direct reads of a value of exactly that type.
    std::int16_t AsI2() const { return std::get<1>(value_); }
    std::int32_t AsI4() const { return std::get<2>(value_); }
    float AsR4() const { return std::get<3>(value_); }
    double AsR8() const { return std::get<4>(value_); }
    bool AsBool() const { return std::get<5>(value_); }
    const std::string& AsStr() const { return std::get<6>(value_); }
    HRESULT AsError() const { return std::get<7>(value_).code; }
    IDispatch* AsDispatch() const;
    IUnknown* AsUnknown() const;

    // Conversions between the number, boolean and string types, the way
    // automation coerces arguments. DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW
    // when the value does not convert.
    HRESULT ToI2(std::int16_t& out) const;
    HRESULT ToI4(std::int32_t& out) const;
    HRESULT ToR4(float& out) const;
    HRESULT ToR8(double& out) const;
    HRESULT ToBool(bool& out) const;
    HRESULT ToStr(std::string& out) const;

private:
    struct ErrorCode {
        HRESULT code;
        bool operator==(const ErrorCode&) const = default;
    };
    // Both object kinds are held through IUnknown so that this header needs
    // no complete IDispatch; the tag tells which interface the pointer is.
    struct DispatchRef {
        ComPtr<IUnknown> p;
        bool operator==(const DispatchRef& o) const { return p.Get() == o.p.Get(); }
    };
    struct UnknownRef {
        ComPtr<IUnknown> p;
        bool operator==(const UnknownRef& o) const { return p.Get() == o.p.Get(); }
    };
    using Value = std::variant<std::monostate, std::int16_t, std::int32_t, float, double, bool,
                               std::string, ErrorCode, DispatchRef, UnknownRef>;
    explicit Variant(Value v) : value_(std::move(v)) {}
    Value value_;
};

} // namespace automation
