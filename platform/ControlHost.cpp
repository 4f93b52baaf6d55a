#include "ControlHost.h"

#include <mutex>

namespace platform {

using namespace automation;

// The sink outlives nothing it points to: Release() disconnects it before the
// host goes, and a late event on another thread finds no handler.
class ControlHost::Sink final : public IDispatch {
    AUTOMATION_REFCOUNTED
public:
    explicit Sink(EventHandler handler) : handler_(std::move(handler)) {}
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Invoke(DISPID id, std::uint16_t, std::vector<Variant>& args, Variant*) override {
        EventHandler handler;
        {
            std::lock_guard lock(mutex_);
            handler = handler_;
        }
        if (handler)
            handler(id, args);
        return S_OK;
    }
    void Disconnect() {
        std::lock_guard lock(mutex_);
        handler_ = nullptr;
    }

private:
    std::mutex mutex_;
    EventHandler handler_;
};

ControlHost::ControlHost() : site_(std::make_unique<QtControlSite>()) {}

ControlHost::~ControlHost() {
    Release();
}

HRESULT ControlHost::Create(const CLSID& clsid, EventHandler onEvent) {
    Release();
    ComPtr<IDispatch> dispatch;
    HRESULT hr = CreateInstance(clsid, IID_IDispatch, dispatch.PutVoid());
    if (Failed(hr))
        return hr;
    dispatch_ = dispatch;
    events_ = dispatch_.As<IEventSource>(IID_IEventSource);
    if (events_ && onEvent) {
        sink_ = ComPtr<Sink>::Attach(new Sink(std::move(onEvent)));
        events_->Advise(sink_.Get(), &cookie_);
    }
    control_ = dispatch_.As<IControl>(IID_IControl);
    if (control_) {
        hr = control_->Create(site_.get());
        if (Failed(hr)) {
            Release();
            return hr;
        }
    }
    return S_OK;
}

void ControlHost::Release() {
    if (sink_)
        sink_->Disconnect();
    if (events_ && cookie_)
        events_->Unadvise(cookie_);
    cookie_ = 0;
    if (control_)
        control_->Destroy();
    sink_.Reset();
    events_.Reset();
    control_.Reset();
    dispatch_.Reset();
}

HRESULT ControlHost::Call(DISPID id, std::vector<Variant> args, Variant* result,
                          std::uint16_t flags) {
    if (!dispatch_)
        return E_UNEXPECTED;
    return dispatch_->Invoke(id, flags, args, result);
}

HRESULT ControlHost::Get(DISPID id, Variant* result, std::vector<Variant> args) {
    return Call(id, std::move(args), result, DISPATCH_PROPERTYGET);
}

HRESULT ControlHost::Put(DISPID id, Variant value) {
    return Call(id, {std::move(value)}, nullptr, DISPATCH_PROPERTYPUT);
}

} // namespace platform
