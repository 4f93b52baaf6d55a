#include "ComponentRegistry.h"
#include "ControlHost.h"
#include "Dispatch.h"
#include "DispatchArgs.h"
#include "QtControlSite.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace automation;

TEST(Guid, ParsesAndPrintsItsTextForm) {
    constexpr Guid g = MakeGuid("{30b7a913-C86B-486F-9DB1-1D326E09EAD8}");
    EXPECT_EQ(g.ToString(), "{30B7A913-C86B-486F-9DB1-1D326E09EAD8}");
    EXPECT_EQ(Guid::Parse(g.ToString()), g);
    for (const char* bad :
         {"", "{30B7A913-C86B-486F-9DB1-1D326E09EAD8", "30B7A913C86B486F9DB11D326E09EAD8",
          "{30B7A913-C86B-486F-9DB1+1D326E09EAD8}", "{30B7A913-C86B-486F-9DB1-1D326E09EAG8}"})
        EXPECT_FALSE(Guid::Parse(bad)) << bad;
}

TEST(Variant, CoercesLikeAutomation) {
    struct Case {
        Variant v;
        HRESULT hr;
        std::int32_t i4;
    };
    const Case cases[] = {
        {Variant::I2(-3), S_OK, -3},
        {Variant::R8(2.5), S_OK, 2}, // half to even
        {Variant::R8(3.5), S_OK, 4},
        {Variant::Str(" 17 "), S_OK, 17},
        {Variant::Str("3"), S_OK, 3},
        {Variant::Str("03x"), DISP_E_TYPEMISMATCH, 0},
        {Variant::Str(""), DISP_E_TYPEMISMATCH, 0},
        {Variant::Bool(true), S_OK, -1},
        {Variant::R8(3e10), DISP_E_OVERFLOW, 0},
        {Variant::Missing(), DISP_E_TYPEMISMATCH, 0},
        {Variant(), S_OK, 0},
    };
    for (const auto& c : cases) {
        std::int32_t out = 0;
        EXPECT_EQ(c.v.ToI4(out), c.hr) << c.v.Type();
        if (c.hr == S_OK) {
            EXPECT_EQ(out, c.i4);
        }
    }
    std::int16_t s = 0;
    EXPECT_EQ(Variant::I4(40000).ToI2(s), DISP_E_OVERFLOW);
    std::string text;
    EXPECT_EQ(Variant::R8(0.25).ToStr(text), S_OK);
    EXPECT_EQ(text, "0.25");
    EXPECT_TRUE(Variant::Missing().IsMissing());
    EXPECT_EQ(Variant::Missing().AsError(), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(static_cast<std::uint32_t>(DISP_E_PARAMNOTFOUND), 0x80020004u);
}

TEST(DispatchArgs, TrailingAndExplicitlyMissingArgumentsAreMissing) {
    std::vector<Variant> args{Variant::I2(5), Variant::Missing()};
    DispatchArgs a(args);
    std::int16_t v = 0;
    EXPECT_EQ(a.I2(0, v), S_OK);
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(a.IsMissing(1));
    EXPECT_TRUE(a.IsMissing(2));
    EXPECT_EQ(a.I2(1, v), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(a.I2(7, v), DISP_E_PARAMNOTFOUND);
}

namespace {

// An event sink that records what the control fires.
class RecordingSink final : public IDispatch {
    AUTOMATION_REFCOUNTED
public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Invoke(DISPID id, std::uint16_t, std::vector<Variant>& args, Variant*) override {
        events.push_back({id, args});
        return S_OK;
    }
    std::vector<std::pair<DISPID, std::vector<Variant>>> events;
};

constexpr CLSID CLSID_TestComponent = MakeGuid("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");

} // namespace

TEST(ComponentRegistry, ComponentRoundTrip) {
    // Registers itself into the registry of this test's configuration folder.
    HRESULT hr = E_FAIL;
    ASSERT_EQ(RegisterServer(QUINTREL_TEST_COMPONENT, &hr), SelfRegistration::Called);
    ASSERT_EQ(hr, S_OK);

    ComponentRegistry registry;
    auto entry = registry.FindClass(CLSID_TestComponent);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->progId, "QUINTREL.TestComponent.1");
    EXPECT_EQ(QString::fromStdString(entry->library),
              QFileInfo(QStringLiteral(QUINTREL_TEST_COMPONENT)).canonicalFilePath());
    EXPECT_EQ(entry->typeLib, "{1A2B3C4D-5E6F-4071-8293-A4B5C6D7E8F9} 1.0");
    EXPECT_EQ(registry.FindProgId("QUINTREL.TestComponent.1"), CLSID_TestComponent);

    ComPtr<IDispatch> control;
    ASSERT_EQ(CreateInstance(CLSID_TestComponent, IID_IDispatch, control.PutVoid()), S_OK);

    // A missing optional argument arrives as DISP_E_PARAMNOTFOUND.
    for (auto args : {std::vector<Variant>{}, std::vector<Variant>{Variant::Missing()}}) {
        Variant result;
        ASSERT_EQ(control->Invoke(1, DISPATCH_METHOD, args, &result), S_OK);
        EXPECT_EQ(result.AsStr(), "missing");
    }
    std::vector<Variant> given{Variant::I2(12)};
    Variant result;
    ASSERT_EQ(control->Invoke(1, DISPATCH_METHOD, given, &result), S_OK);
    EXPECT_EQ(result.AsStr(), "12");
    std::vector<Variant> none;
    EXPECT_EQ(control->Invoke(99, DISPATCH_METHOD, none, nullptr), DISP_E_MEMBERNOTFOUND);

    // Events: placed in a site, advised a sink, fired from the control's
    // worker thread and delivered on this (the user-interface) thread.
    platform::QtControlSite site;
    auto placed = control.As<IControl>(IID_IControl);
    ASSERT_TRUE(placed);
    ASSERT_EQ(placed->Create(&site), S_OK);
    auto source = control.As<IEventSource>(IID_IEventSource);
    ASSERT_TRUE(source);
    auto sink = ComPtr<RecordingSink>::Attach(new RecordingSink);
    std::uint32_t cookie = 0;
    ASSERT_EQ(source->Advise(sink.Get(), &cookie), S_OK);

    std::vector<Variant> ping{Variant::I4(42)};
    ASSERT_EQ(control->Invoke(2, DISPATCH_METHOD, ping, nullptr), S_OK);
    QElapsedTimer t;
    t.start();
    while (sink->events.empty() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->events[0].first, 7);
    EXPECT_EQ(sink->events[0].second.at(0).AsI4(), 42);

    EXPECT_EQ(source->Unadvise(cookie), S_OK);
    EXPECT_EQ(source->Unadvise(cookie), E_INVALIDARG);
    placed->Destroy();
}

TEST(ComponentRegistry, CreatingAnUnknownOrBrokenClassFails) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(
        CreateInstance(MakeGuid("{00000000-1111-2222-3333-444444444444}"), IID_IDispatch, &object),
        REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);

    QTemporaryDir dir;
    ComponentRegistry registry(dir.filePath(QStringLiteral("r.reg")).toStdString());
    const CLSID gone = MakeGuid("{ABCDEF00-1111-2222-3333-444444444444}");
    ASSERT_EQ(registry.RegisterClass({gone, "Gone.1", "/nonexistent/libGone.so", ""}), S_OK);
    EXPECT_EQ(CreateInstance(gone, IID_IDispatch, &object, registry), CO_E_DLLNOTFOUND);

    // Re-registering replaces the entry; unregistering removes it.
    ASSERT_EQ(registry.RegisterClass({gone, "Gone.1", "/elsewhere/libGone.so", ""}), S_OK);
    EXPECT_EQ(registry.FindClass(gone)->library, "/elsewhere/libGone.so");
    ASSERT_EQ(registry.UnregisterClass(gone), S_OK);
    EXPECT_FALSE(registry.FindClass(gone));
}

TEST(ComponentRegistry, SelfRegistrationOfFilesThatAreNotComponents) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("ac3filter.ax"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a library");
    f.close();
    EXPECT_EQ(RegisterServer(text.toStdString()), SelfRegistration::NotLoadable);
    EXPECT_EQ(RegisterServer(dir.filePath(QStringLiteral("missing.so")).toStdString()),
              SelfRegistration::NotLoadable);
    EXPECT_EQ(RegisterServer(QUINTREL_PLAIN_LIBRARY), SelfRegistration::NoEntryPoint);
}

TEST(ControlHost, HostsAComponentAndDeliversItsEvents) {
    ASSERT_EQ(RegisterServer(QUINTREL_TEST_COMPONENT), SelfRegistration::Called);
    platform::ControlHost host;
    std::vector<std::int32_t> received;
    ASSERT_EQ(host.Create(CLSID_TestComponent,
                          [&](DISPID id, std::vector<Variant>& args) {
                              if (id == 7)
                                  received.push_back(args.at(0).AsI4());
                          }),
              S_OK);
    Variant result;
    ASSERT_EQ(host.Call(1, {Variant::Missing()}, &result), S_OK);
    EXPECT_EQ(result.AsStr(), "missing");
    ASSERT_EQ(host.Call(2, {Variant::I4(5)}), S_OK);
    QElapsedTimer t;
    t.start();
    while (received.empty() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(received, std::vector<std::int32_t>{5});
    // Once released, a call is refused and nothing more arrives.
    host.Release();
    EXPECT_EQ(host.Call(1), E_UNEXPECTED);
    EXPECT_EQ(host.Create(MakeGuid("{00000000-1111-2222-3333-444444444444}")), REGDB_E_CLASSNOTREG);
}
