#pragma once
// Common ground of a hosted control: one object answering IDispatch (its
// methods and properties), IControl (placement in a host) and IEventSource
// (its events). A control derives from it and implements Invoke.

#include "Component.h"
#include "DispatchArgs.h"

namespace automation {

class ControlObject : public IDispatch, public IControl, public IEventSource {
public:
    ControlObject() { ModuleLocks()++; }

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch)
            *object = static_cast<IDispatch*>(this);
        else if (iid == IID_IControl)
            *object = static_cast<IControl*>(this);
        else if (iid == IID_IEventSource)
            *object = static_cast<IEventSource*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return refs_.Add(); }
    std::uint32_t Release() override {
        const std::uint32_t left = refs_.Drop();
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT Create(ControlSite* site) override {
        site_ = site;
        return OnCreate();
    }
    HRESULT Destroy() override {
        const HRESULT hr = OnDestroy();
        site_ = nullptr;
        return hr;
    }

    // For a new object handed out by a class factory.
    template <class T> static HRESULT CreateAs(const IID& iid, void** object) {
        ComPtr<T> obj = ComPtr<T>::Attach(new T());
        return obj->QueryInterface(iid, object);
    }

    HRESULT Advise(IDispatch* sink, std::uint32_t* cookie) override {
        return events_.Advise(sink, cookie);
    }
    HRESULT Unadvise(std::uint32_t cookie) override { return events_.Unadvise(cookie); }

protected:
    virtual ~ControlObject() { ModuleLocks()--; }
    // The control's window creation and destruction.
    virtual HRESULT OnCreate() { return S_OK; }
    virtual HRESULT OnDestroy() { return S_OK; }

    ControlSite* Site() const { return site_; }
    EventSinks& Events() { return events_; }

private:
    RefCount refs_;
    EventSinks events_;
    ControlSite* site_ = nullptr;
};

} // namespace automation
