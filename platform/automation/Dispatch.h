#pragma once
// Late-bound calls by dispatch identifier, enumerators, events, class
// factories and the site a control lives in.

#include "Variant.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace automation {

inline constexpr IID IID_IDispatch = MakeGuid("{00020400-0000-0000-C000-000000000046}");
inline constexpr IID IID_IEnumVARIANT = MakeGuid("{00020404-0000-0000-C000-000000000046}");
inline constexpr IID IID_IClassFactory = MakeGuid("{00000001-0000-0000-C000-000000000046}");
inline constexpr IID IID_IEventSource = MakeGuid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IControl = MakeGuid("{6D8E3F2A-41C7-4B0E-9A55-3C2F7E1B9D04}");

enum DispatchFlags : std::uint16_t {
    DISPATCH_METHOD = 1,
    DISPATCH_PROPERTYGET = 2,
    DISPATCH_PROPERTYPUT = 4,
};

inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr DISPID DISPID_ABOUTBOX = -552;

struct IDispatch : IUnknown {
    // Arguments in declaration order (first argument first). A caller may pass
    // fewer arguments than declared; the missing trailing ones, and any passed
    // as Variant::Missing(), are optional arguments left out. result may be null.
    virtual HRESULT Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                           Variant* result) = 0;

protected:
    ~IDispatch() = default;
};

struct IEnumVARIANT : IUnknown {
    virtual HRESULT Next(std::uint32_t celt, Variant* rgVar, std::uint32_t* pceltFetched) = 0;
    virtual HRESULT Skip(std::uint32_t celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumVARIANT** ppenum) = 0;

protected:
    ~IEnumVARIANT() = default;
};

// A control's outgoing event interface: the host advises a sink, and the
// control calls the sink's Invoke with the event's dispatch identifier.
struct IEventSource : IUnknown {
    virtual HRESULT Advise(IDispatch* sink, std::uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(std::uint32_t cookie) = 0;

protected:
    ~IEventSource() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

// What a hosting page offers the control it holds: its user-interface thread
// and window timers. Controls have no event loop of their own.
// One setting on a control's property page: a whole number in a range.
struct PropertySetting {
    std::string label;
    int minimum = 0, maximum = 0, value = 0;
};

class ControlSite {
public:
    virtual ~ControlSite() = default;
    // Runs fn on the host's user-interface thread, later, in posting order.
    // Safe to call from any thread.
    virtual void Post(std::function<void()> fn) = 0;
    // A repeating window timer of the control; setting an id again restarts it.
    virtual void SetTimer(unsigned id, unsigned milliseconds, std::function<void()> tick) = 0;
    virtual void KillTimer(unsigned id) = 0;
    // The windows a control shows, drawn by the host, modal to its window.
    // A property page for the settings: true when it was shown (the values
    // are changed only when the user confirmed them); false when the host
    // shows no windows.
    virtual bool ShowPropertyPage(const std::string& caption,
                                  std::vector<PropertySetting>& settings) {
        (void)caption;
        (void)settings;
        return false;
    }
    // The About box: the control's name and version, and OK.
    virtual void ShowAboutBox(const std::string& caption, const std::string& text) {
        (void)caption;
        (void)text;
    }
};

// The control side of hosting: the host calls Create once the control is
// placed (the control's window creation) and Destroy before letting it go.
struct IControl : IUnknown {
    virtual HRESULT Create(ControlSite* site) = 0;
    virtual HRESULT Destroy() = 0;

protected:
    ~IControl() = default;
};

} // namespace automation
