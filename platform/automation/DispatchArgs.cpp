#include "DispatchArgs.h"

#include <algorithm>

namespace automation {

const Variant& DispatchArgs::At(std::size_t i) const {
    static const Variant missing = Variant::Missing();
    return i < args_.size() ? args_[i] : missing;
}

#define AUTOMATION_ARG(Name, Type, Conv)                                                           \
    HRESULT DispatchArgs::Name(std::size_t i, Type& out) const {                                   \
        if (IsMissing(i))                                                                          \
            return DISP_E_PARAMNOTFOUND;                                                           \
        return args_[i].Conv(out);                                                                 \
    }
AUTOMATION_ARG(I2, std::int16_t, ToI2)
AUTOMATION_ARG(I4, std::int32_t, ToI4)
AUTOMATION_ARG(R4, float, ToR4)
AUTOMATION_ARG(R8, double, ToR8)
AUTOMATION_ARG(Bool, bool, ToBool)
AUTOMATION_ARG(Str, std::string, ToStr)
#undef AUTOMATION_ARG

HRESULT EventSinks::Advise(IDispatch* sink, std::uint32_t* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *cookie = nextCookie_++;
    sinks_.emplace_back(*cookie, ComPtr<IDispatch>(sink));
    return S_OK;
}

HRESULT EventSinks::Unadvise(std::uint32_t cookie) {
    ComPtr<IDispatch> gone; // released outside the lock
    std::lock_guard lock(mutex_);
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [cookie](const auto& s) { return s.first == cookie; });
    if (it == sinks_.end())
        return E_INVALIDARG;
    gone = std::move(it->second);
    sinks_.erase(it);
    return S_OK;
}

void EventSinks::Fire(DISPID event, std::vector<Variant> args) {
    std::vector<ComPtr<IDispatch>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& s : sinks_)
            targets.push_back(s.second);
    }
    for (auto& t : targets) {
        std::vector<Variant> copy = args;
        t->Invoke(event, DISPATCH_METHOD, copy, nullptr);
    }
}

std::size_t EventSinks::Size() const {
    std::lock_guard lock(mutex_);
    return sinks_.size();
}

} // namespace automation
