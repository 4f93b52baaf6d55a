#pragma once
// Hosting a control on a page: creates it by class id through the component
// registry, places it in a site on the user-interface thread, advises an
// event sink, and takes it down again in the destructor.

#include "ComponentRegistry.h"
#include "Dispatch.h"
#include "QtControlSite.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace platform {

class ControlHost {
public:
    // Receives the control's events on the thread the control fires them on.
    using EventHandler = std::function<void(automation::DISPID, std::vector<automation::Variant>&)>;

    ControlHost();
    ~ControlHost();
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    // Creates and places the control; the handler gets its events. Returns
    // the creation's HRESULT (REGDB_E_CLASSNOTREG when it is not registered).
    automation::HRESULT Create(const automation::CLSID& clsid, EventHandler onEvent = {});
    // Removes the sink, tells the control it is being destroyed, releases it.
    void Release();

    bool IsCreated() const { return static_cast<bool>(dispatch_); }
    automation::IDispatch* Dispatch() const { return dispatch_.Get(); }
    QtControlSite& Site() { return *site_; }

    // Calls a method or reads or writes a property; args in declaration order.
    automation::HRESULT Call(automation::DISPID id, std::vector<automation::Variant> args = {},
                             automation::Variant* result = nullptr,
                             std::uint16_t flags = automation::DISPATCH_METHOD);
    automation::HRESULT Get(automation::DISPID id, automation::Variant* result,
                            std::vector<automation::Variant> args = {});
    automation::HRESULT Put(automation::DISPID id, automation::Variant value);

private:
    class Sink;
    std::unique_ptr<QtControlSite> site_;
    automation::ComPtr<automation::IDispatch> dispatch_;
    automation::ComPtr<automation::IControl> control_;
    automation::ComPtr<automation::IEventSource> events_;
    automation::ComPtr<Sink> sink_;
    std::uint32_t cookie_ = 0;
};

} // namespace platform
