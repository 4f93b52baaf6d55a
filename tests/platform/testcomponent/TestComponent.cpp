// A small component for the registry round trip: one method that reports
// whether its optional argument was passed, and one that fires an event from
// a worker thread, delivered through the host's site like a real control's.

#include "ControlObject.h"

#include <thread>

namespace {

using namespace automation;

constexpr CLSID CLSID_TestComponent = MakeGuid("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
constexpr Guid LIBID_TestComponent = MakeGuid("{1A2B3C4D-5E6F-4071-8293-A4B5C6D7E8F9}");

class TestControl final : public ControlObject {
public:
    ~TestControl() override {
        if (worker_.joinable())
            worker_.join();
    }
    HRESULT Invoke(DISPID id, std::uint16_t, std::vector<Variant>& args, Variant* result) override {
        DispatchArgs a(args);
        switch (id) {
        case 1: { // Echo([optional] VARIANT value) -> string
            std::string text = "missing";
            if (!a.IsMissing(0) && Failed(a.Str(0, text)))
                return DISP_E_TYPEMISMATCH;
            SetResult(result, Variant::Str(text));
            return S_OK;
        }
        case 2: { // Ping(long value): fires Pong(value) later, on the host's thread
            std::int32_t value = 0;
            if (HRESULT hr = a.I4(0, value); Failed(hr))
                return hr;
            if (!Site())
                return E_UNEXPECTED;
            if (worker_.joinable())
                worker_.join();
            ControlSite* site = Site();
            AddRef(); // the event holds the control alive until delivered
            worker_ = std::thread([this, site, value] {
                site->Post([this, value] {
                    Events().Fire(7, {Variant::I4(value)});
                    Release();
                });
            });
            SetResult(result, Variant::Bool(true));
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::thread worker_;
};

const ComponentTypeLib kTypeLib{LIBID_TestComponent, "1.0", ""};
const ComponentClass kClasses[] = {
    {CLSID_TestComponent, "QUINTREL.TestComponent.1", &ControlObject::CreateAs<TestControl>},
};

} // namespace

AUTOMATION_COMPONENT_EXPORTS(&kTypeLib, kClasses)
