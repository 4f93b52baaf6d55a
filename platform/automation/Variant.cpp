#include "Variant.h"

#include "Dispatch.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace automation {

Variant Variant::Dispatch(IDispatch* d) {
    return Variant(Value(std::in_place_index<8>, DispatchRef{ComPtr<IUnknown>(d)}));
}

Variant Variant::Unknown(IUnknown* u) {
    return Variant(Value(std::in_place_index<9>, UnknownRef{ComPtr<IUnknown>(u)}));
}

VarType Variant::Type() const {
    static constexpr VarType kTypes[] = {VT_EMPTY, VT_I2,   VT_I4,    VT_R4,       VT_R8,
                                         VT_BOOL,  VT_BSTR, VT_ERROR, VT_DISPATCH, VT_UNKNOWN};
    return kTypes[value_.index()];
}

bool Variant::IsMissing() const {
    return value_.index() == 7 && std::get<7>(value_).code == DISP_E_PARAMNOTFOUND;
}

IDispatch* Variant::AsDispatch() const {
    return static_cast<IDispatch*>(std::get<8>(value_).p.Get());
}

IUnknown* Variant::AsUnknown() const {
    if (value_.index() == 8)
        return std::get<8>(value_).p.Get();
    return std::get<9>(value_).p.Get();
}

namespace {

// Automation reads numbers from strings in full: surrounding blanks allowed,
// anything else is a type mismatch.
bool ParseNumber(const std::string& s, double& out) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    if (b == e)
        return false;
    if (s[b] == '+')
        ++b;
    const auto [ptr, ec] = std::from_chars(s.data() + b, s.data() + e, out);
    return ec == std::errc() && ptr == s.data() + e;
}

template <class Int> HRESULT ToInteger(const Variant& v, Int& out) {
    double d = 0;
    HRESULT hr = v.ToR8(d);
    if (Failed(hr))
        return hr;
    // Rounds half to even, as automation does.
    d = std::nearbyint(d);
    if (!(d >= std::numeric_limits<Int>::min() && d <= std::numeric_limits<Int>::max()))
        return DISP_E_OVERFLOW;
    out = static_cast<Int>(d);
    return S_OK;
}

} // namespace

HRESULT Variant::ToR8(double& out) const {
    switch (value_.index()) {
    case 0:
        out = 0;
        return S_OK;
    case 1:
        out = AsI2();
        return S_OK;
    case 2:
        out = AsI4();
        return S_OK;
    case 3:
        out = AsR4();
        return S_OK;
    case 4:
        out = AsR8();
        return S_OK;
    case 5:
        out = AsBool() ? -1 : 0;
        return S_OK;
    case 6:
        return ParseNumber(AsStr(), out) ? S_OK : DISP_E_TYPEMISMATCH;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT Variant::ToR4(float& out) const {
    double d = 0;
    HRESULT hr = ToR8(d);
    if (Succeeded(hr))
        out = static_cast<float>(d);
    return hr;
}

HRESULT Variant::ToI2(std::int16_t& out) const {
    return ToInteger(*this, out);
}
HRESULT Variant::ToI4(std::int32_t& out) const {
    return ToInteger(*this, out);
}

HRESULT Variant::ToBool(bool& out) const {
    if (value_.index() == 6) {
        const std::string& s = AsStr();
        if (s == "True" || s == "true" || s == "TRUE") {
            out = true;
            return S_OK;
        }
        if (s == "False" || s == "false" || s == "FALSE") {
            out = false;
            return S_OK;
        }
    }
    double d = 0;
    HRESULT hr = ToR8(d);
    if (Succeeded(hr))
        out = d != 0;
    return hr;
}

HRESULT Variant::ToStr(std::string& out) const {
    char buf[64];
    switch (value_.index()) {
    case 0:
        out.clear();
        return S_OK;
    case 1:
        out = std::to_string(AsI2());
        return S_OK;
    case 2:
        out = std::to_string(AsI4());
        return S_OK;
    case 3:
        std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(AsR4()));
        out = buf;
        return S_OK;
    case 4:
        std::snprintf(buf, sizeof buf, "%.15g", AsR8());
        out = buf;
        return S_OK;
    case 5:
        out = AsBool() ? "True" : "False";
        return S_OK;
    case 6:
        out = AsStr();
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

} // namespace automation
