// The library frame: registration, the class factory, unloading and instance lifetime.

#include <gtest/gtest.h>

#include <olectl.h>

#include "tests/service/frame_fixture.h"
#include "tests/support/read_only_key.h"

namespace ka::test {
namespace {

constexpr CLSID kScaleClsid = {0xA3F61C02, 0x7E45, 0x4D2B, {0x8C, 0x1A, 0x52, 0xB9, 0xE0, 0xD4, 0xF7, 0x13}};
constexpr IID kScaleDiid = {0xA3F61C01, 0x7E45, 0x4D2B, {0x8C, 0x1A, 0x52, 0xB9, 0xE0, 0xD4, 0xF7, 0x13}};
constexpr char kClsidText[] = "{A3F61C02-7E45-4D2B-8C1A-52B9E0D4F713}";
const std::string kClsidKey = std::string("CLSID\\") + kClsidText;

// The default value of a key under HKEY_CLASSES_ROOT, or "<none>".
std::string ReadDefault(const std::string& key) {
    ka::UniqueKey opened;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return "<none>";
    char value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(opened.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS) {
        return "<none>";
    }
    return value;
}

void WriteDefault(const std::string& key, const std::string& value) {
    ka::UniqueKey created;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, created.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(created.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
}

// The registered server, loaded the way COM loads it: from the InProcServer32 path.
class ServerModule {
public:
    ServerModule() : module_(LoadLibraryA(ReadDefault(kClsidKey + "\\InProcServer32").c_str())) {}

    bool loaded() const { return module_.valid(); }
    HRESULT RegisterServer() const { return Call<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer")(); }
    HRESULT UnregisterServer() const { return Call<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer")(); }
    HRESULT CanUnloadNow() const { return Call<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")(); }
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) const {
        return Call<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(clsid, iid, ppv);
    }

private:
    template <typename Fn>
    Fn Call(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }
    ka::UniqueModule module_;
};

// Puts the registration back however a test that removes it ends.
struct Reregister {
    const ServerModule& server;
    ~Reregister() { server.RegisterServer(); }
};

class FrameTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        ASSERT_TRUE(server_.loaded()) << "the registered Pendrax.dll does not load; GLE=" << GetLastError();
    }
    ServerModule server_;
};

TEST_F(FrameTest, RegisteredProgIdCreatesTheServiceObjectWithItsInterfaces) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"KolvaneAris.ScaleTRM07", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kScaleClsid));

    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.put_void());
    ASSERT_EQ(hr, S_OK) << HrText(hr);
    ComPtr<IDispatch> dispatch;
    ComPtr<IDispatch> dispinterface;
    ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    ASSERT_EQ(unknown->QueryInterface(kScaleDiid, dispinterface.put_void()), S_OK);
    EXPECT_EQ(dispatch.get(), dispinterface.get()) << "the dispatch interface is the IDispatch";

    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    UINT count = 7;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(0x1);
    EXPECT_TRUE(FAILED(dispatch->GetTypeInfo(0, LOCALE_SYSTEM_DEFAULT, &info)));
    EXPECT_EQ(info, nullptr);
}

// The threading model of the registered server, or "<none>".
std::string ReadThreadingModel() {
    ka::UniqueKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, (kClsidKey + "\\InProcServer32").c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return "<none>";
    }
    char value[32] = {};
    DWORD size = sizeof value - 1;
    if (RegQueryValueExA(key.get(), "ThreadingModel", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS) {
        return "<none>";
    }
    return value;
}

TEST_F(FrameTest, RegistrationWritesTheFiveEntriesAndTheApartmentModel) {
    EXPECT_EQ(ReadDefault("KolvaneAris.ScaleTRM07"), "KolvaneAris.ScaleTRM07");
    EXPECT_EQ(ReadDefault("KolvaneAris.ScaleTRM07\\CLSID"), kClsidText);
    EXPECT_EQ(ReadDefault(kClsidKey), "KolvaneAris.ScaleTRM07");
    EXPECT_EQ(ReadDefault(kClsidKey + "\\ProgID"), "KolvaneAris.ScaleTRM07");
    const std::string server = ReadDefault(kClsidKey + "\\InProcServer32");
    EXPECT_NE(GetFileAttributesA(server.c_str()), INVALID_FILE_ATTRIBUTES) << server;
    // Each instance lives in the apartment of the control object that creates it.
    EXPECT_EQ(ReadThreadingModel(), "Apartment");
}

TEST_F(FrameTest, RegisteringAgainKeepsTheTwoDefaultsAndRewritesTheOtherThree) {
    const std::string server = ReadDefault(kClsidKey + "\\InProcServer32");
    WriteDefault("KolvaneAris.ScaleTRM07", "edited by an administrator");
    WriteDefault(kClsidKey, "edited too");
    WriteDefault("KolvaneAris.ScaleTRM07\\CLSID", "stale");
    WriteDefault(kClsidKey + "\\ProgID", "stale");
    WriteDefault(kClsidKey + "\\InProcServer32", "stale");

    EXPECT_EQ(server_.RegisterServer(), S_OK);

    EXPECT_EQ(ReadDefault("KolvaneAris.ScaleTRM07"), "edited by an administrator");
    EXPECT_EQ(ReadDefault(kClsidKey), "edited too");
    EXPECT_EQ(ReadDefault("KolvaneAris.ScaleTRM07\\CLSID"), kClsidText);
    EXPECT_EQ(ReadDefault(kClsidKey + "\\ProgID"), "KolvaneAris.ScaleTRM07");
    EXPECT_EQ(ReadDefault(kClsidKey + "\\InProcServer32"), server);

    WriteDefault("KolvaneAris.ScaleTRM07", "KolvaneAris.ScaleTRM07");
    WriteDefault(kClsidKey, "KolvaneAris.ScaleTRM07");
}

TEST_F(FrameTest, UnregisteringRemovesWhatRegistrationWrote) {
    Reregister reregister{server_};

    EXPECT_EQ(server_.UnregisterServer(), S_OK);
    EXPECT_EQ(ReadDefault("KolvaneAris.ScaleTRM07"), "<none>");
    EXPECT_EQ(ReadDefault(kClsidKey), "<none>");
    EXPECT_EQ(ReadThreadingModel(), "<none>");
    CLSID clsid{};
    EXPECT_NE(CLSIDFromProgID(L"KolvaneAris.ScaleTRM07", &clsid), S_OK);
    EXPECT_EQ(server_.UnregisterServer(), S_OK) << "unregistering twice";

    EXPECT_EQ(server_.RegisterServer(), S_OK);
    EXPECT_EQ(ReadDefault(kClsidKey + "\\ProgID"), "KolvaneAris.ScaleTRM07");
    EXPECT_EQ(ReadThreadingModel(), "Apartment");
}

// An installer without the rights to one key is told so; the entries after it are not written.
TEST_F(FrameTest, AKeyThatCannotBeWrittenEndsRegistrationWithAFailure) {
    Reregister reregister{server_};
    WriteDefault(kClsidKey + "\\ProgID", "stale");
    {
        ReadOnlyKey locked("Software\\Classes\\KolvaneAris.ScaleTRM07\\CLSID");
        ASSERT_TRUE(locked.applied());
        EXPECT_EQ(server_.RegisterServer(), SELFREG_E_CLASS);
        EXPECT_EQ(ReadDefault(kClsidKey + "\\ProgID"), "stale") << "an entry after the failed one";
    }
    EXPECT_EQ(server_.RegisterServer(), S_OK);
    EXPECT_EQ(ReadDefault(kClsidKey + "\\ProgID"), "KolvaneAris.ScaleTRM07");
}

TEST_F(FrameTest, ClassObjectIsServedOnlyForItsClsid) {
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(server_.GetClassObject(IID_IDispatch, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    CLSID nearly = kScaleClsid;
    nearly.Data4[7] ^= 1;
    object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(server_.GetClassObject(nearly, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(server_.GetClassObject(kScaleClsid, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(server_.GetClassObject(kScaleClsid, IID_IClassFactory, factory.put_void()), S_OK);
    ComPtr<IDispatch> first;
    ComPtr<IDispatch> second;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, first.put_void()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, second.put_void()), S_OK);
    EXPECT_NE(first.get(), second.get()) << "every CreateInstance makes a new instance";
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(first.get(), IID_IUnknown, aggregated.put_void()), CLASS_E_NOAGGREGATION);
}

TEST_F(FrameTest, LibraryStaysLoadedWhileAnInstanceOrAFactoryOrALockLives) {
    EXPECT_EQ(server_.CanUnloadNow(), S_OK);
    {
        ScaleClient scale = NewScale();
        EXPECT_EQ(server_.CanUnloadNow(), S_FALSE) << "an instance is alive";
    }
    EXPECT_EQ(server_.CanUnloadNow(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(server_.GetClassObject(kScaleClsid, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(server_.CanUnloadNow(), S_FALSE) << "a client holds the factory";
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(server_.CanUnloadNow(), S_FALSE) << "the server is locked";
    ASSERT_EQ(server_.GetClassObject(kScaleClsid, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(server_.CanUnloadNow(), S_FALSE) << "a client still holds the factory";
    {
        ScaleClient scale = NewScale();
        EXPECT_EQ(factory->LockServer(FALSE), S_OK) << "an unlock without a lock";
        factory.reset();
        EXPECT_EQ(server_.CanUnloadNow(), S_FALSE) << "an unbalanced unlock let go of a live instance";
    }
    EXPECT_EQ(server_.CanUnloadNow(), S_OK);
}

TEST_F(FrameTest, CreationFailsCleanlyWhenTheLogCannotCreateItsMutex) {
    // Another kind of object under the log's mutex name makes the mutex impossible to create.
    ka::UniqueHandle squatter(CreateEventA(nullptr, TRUE, FALSE, "ZelLog-LogFile-MUTEX"));
    ASSERT_TRUE(squatter);
    ComPtr<IDispatch> object;
    const HRESULT hr = CoCreateInstance(kScaleClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void());
    EXPECT_EQ(hr, E_OUTOFMEMORY) << HrText(hr);
    EXPECT_FALSE(object);
    EXPECT_EQ(server_.CanUnloadNow(), S_OK) << "no instance was left behind";
}

TEST_F(FrameTest, TwoInstancesHaveIndependentState) {
    WriteProfile("FrameScaleA", "COM1");
    WriteProfile("FrameScaleB", "COM2");
    ScaleClient a = OpenedScale("FrameScaleA");
    ScaleClient b = OpenedScale("FrameScaleB");

    ASSERT_EQ(a.Claim(0), 0);
    EXPECT_EQ(a.GetPropertyNumber(opos::pidx::kClaimed), 1);
    EXPECT_EQ(b.GetPropertyNumber(opos::pidx::kClaimed), 0);
    b.SetPropertyNumber(opos::pidx::kAsyncMode, 1);
    EXPECT_EQ(b.GetPropertyNumber(opos::pidx::kAsyncMode), 1);
    EXPECT_EQ(a.GetPropertyNumber(opos::pidx::kAsyncMode), 0);
    EXPECT_EQ(a.GetPropertyNumber(5), 0);
    EXPECT_EQ(a.ResultCode(), 106);
    EXPECT_EQ(b.ResultCode(), 0);

    // Each logs under its own device name.
    bool sawA = false, sawB = false;
    for (const auto& entry : ReadLogEntries(logPath_)) {
        if (entry.message == "ENTER [Claim].") {
            EXPECT_EQ(entry.name, "FrameScaleA");
        }
        sawA |= entry.name == "FrameScaleA";
        sawB |= entry.name == "FrameScaleB";
    }
    EXPECT_TRUE(sawA && sawB);
    EXPECT_EQ(a.Release(), 0);
}

TEST_F(FrameTest, ReleasingAnOpenInstanceClosesItAndGivesEverythingBack) {
    WriteProfile("FrameScale", "COM3");
    ScaleClient scale = EnabledScale("FrameScale");
    ASSERT_TRUE(scale);
    const size_t mark = LogSize();

    scale.reset();

    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [Close].", "Device disabled successfully.", "ENTER [ReleaseDevice].",
                                     "LEAVE [ReleaseDevice].", "LEAVE [Close].", kShutdownBanner}));
    // The claim-lock handle went with the instance, so no handle to the mutex remains.
    ka::UniqueHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, "KA-Scale-Claim-COM3"));
    EXPECT_FALSE(mutex) << "the claim mutex outlived its last instance";
    EXPECT_EQ(server_.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace ka::test
