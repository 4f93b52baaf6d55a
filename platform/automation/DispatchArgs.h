#pragma once
// Reading a call's arguments inside Invoke: typed, with optional arguments
// that a caller left out (not passed at all, or passed as Missing()).

#include "Dispatch.h"

#include <mutex>
#include <string>
#include <vector>

namespace automation {

class DispatchArgs {
public:
    explicit DispatchArgs(std::vector<Variant>& args) : args_(args) {}

    std::size_t Count() const { return args_.size(); }
    bool IsMissing(std::size_t i) const { return i >= args_.size() || args_[i].IsMissing(); }
    const Variant& At(std::size_t i) const;

    // DISP_E_PARAMNOTFOUND for a required argument that was left out;
    // otherwise the conversion's result.
    HRESULT I2(std::size_t i, std::int16_t& out) const;
    HRESULT I4(std::size_t i, std::int32_t& out) const;
    HRESULT R4(std::size_t i, float& out) const;
    HRESULT R8(std::size_t i, double& out) const;
    HRESULT Bool(std::size_t i, bool& out) const;
    HRESULT Str(std::size_t i, std::string& out) const;

private:
    std::vector<Variant>& args_;
};

// Sets *result when the caller wants one.
inline void SetResult(Variant* result, Variant value) {
    if (result)
        *result = std::move(value);
}

// The advised sinks of a control's event interface. Fire may be called from
// any thread; it calls the sinks on that thread, outside its own lock, so a
// sink may call back into the control or unadvise itself.
class EventSinks {
public:
    HRESULT Advise(IDispatch* sink, std::uint32_t* cookie);
    HRESULT Unadvise(std::uint32_t cookie);
    void Fire(DISPID event, std::vector<Variant> args = {});
    std::size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::uint32_t, ComPtr<IDispatch>>> sinks_;
    std::uint32_t nextCookie_ = 1;
};

} // namespace automation
