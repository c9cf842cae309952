// The stand-in's self-registration, and the profile text it reads.

#include <gtest/gtest.h>

#include <olectl.h>

#include "common/opos.h"
#include "common/unique_handle.h"
#include "tests/support/control_object.h"
#include "tests/support/dispatch_client.h"
#include "tests/support/profile_fixture.h"
#include "tools/opos_standin/control_ids.h"
#include "tools/opos_standin/registration.h"
#include "tools/opos_standin/service_profile.h"

namespace ka::test {
namespace {

constexpr wchar_t kServerKey[] = L"Software\\Classes\\CLSID\\{CCB90172-B81E-11D2-AB74-0040054C3719}\\InprocServer32";
constexpr wchar_t kRealControlPath[] = L"C:\\Program Files\\OPOS\\OPOSScale.ocx";

void SetServerPath(const std::wstring& path) {
    UniqueKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServerKey, 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// Puts the registered path back whatever the test did.
class RestoreServerPath {
public:
    explicit RestoreServerPath(std::wstring path) : path_(std::move(path)) {}
    ~RestoreServerPath() { SetServerPath(path_); }

private:
    std::wstring path_;
};

using ka::UniqueModule;

using RegistrationFn = HRESULT(STDAPICALLTYPE*)();

RegistrationFn Export(HMODULE module, const char* name) {
    return reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring OwnServerPath() { return RegisteredServer(standin::kStandInClsidText); }

TEST(StandInRegistrationTest, IsRegisteredUnderItsOwnClass) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(standin::kStandInProgId, &clsid);
    ASSERT_EQ(hr, S_OK) << HrText(hr);
    EXPECT_TRUE(IsEqualCLSID(clsid, standin::kStandInClsid));
    EXPECT_TRUE(standin::IsStandInPath(OwnServerPath()));
}

// The real control object keeps its class whatever the stand-in's registration does; the stand-in
// comes and goes under its own.
TEST(StandInRegistrationTest, NeverDisplacesAnotherControlObject) {
    const std::wstring ours = OwnServerPath();
    UniqueModule module(LoadLibraryW(ours.c_str()));
    ASSERT_TRUE(module.valid()) << "LoadLibrary: " << GetLastError();
    RegistrationFn registerServer = Export(module.get(), "DllRegisterServer");
    RegistrationFn unregisterServer = Export(module.get(), "DllUnregisterServer");
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);
    {
        RestoreServerPath restore(standin::RegisteredServerPath());
        SetServerPath(kRealControlPath);
        HRESULT hr = unregisterServer();
        EXPECT_EQ(hr, S_OK) << HrText(hr);
        EXPECT_EQ(OwnServerPath(), L"") << "its own class goes";
        EXPECT_EQ(standin::RegisteredServerPath(), kRealControlPath);
        hr = registerServer();
        EXPECT_EQ(hr, S_OK) << HrText(hr);
        EXPECT_EQ(OwnServerPath(), ours);
        EXPECT_EQ(standin::RegisteredServerPath(), kRealControlPath);
    }
    EXPECT_EQ(registerServer(), S_OK) << "registering over itself";
    EXPECT_EQ(OwnServerPath(), ours);
}

TEST(StandInRegistrationTest, RecognisesItsOwnFileInAnyFolderAndCase) {
    EXPECT_TRUE(standin::IsStandInPath(L"Z:\\build\\win64\\bin\\OposScaleStandIn.dll"));
    EXPECT_TRUE(standin::IsStandInPath(L"c:/x/oposscalestandin.DLL"));
    EXPECT_TRUE(standin::IsStandInPath(L"OposScaleStandIn.dll"));
    EXPECT_FALSE(standin::IsStandInPath(kRealControlPath));
    EXPECT_FALSE(standin::IsStandInPath(L"C:\\OposScaleStandIn.dll.bak"));
}

TEST(StandInProfileTest, TheProfilesProgIdIsReadWithoutItsDescription) {
    const struct {
        const char* stored;
        long result;
        const wchar_t* progId;
    } cases[] = {
        {"KolvaneAris.ScaleTRM07", opos::OPOS_SUCCESS, L"KolvaneAris.ScaleTRM07"},
        {"KolvaneAris.ScaleTRM07  ||| the service object", opos::OPOS_SUCCESS, L"KolvaneAris.ScaleTRM07"},
        {"  ||| nothing before it", opos::OPOS_E_NOEXIST, L""},
    };
    for (const auto& c : cases) {
        ProfileFixture profiles;
        profiles.SetDeviceString("StandIn ProgId Scale", "", c.stored);
        std::wstring progId;
        EXPECT_EQ(standin::FindServiceProgId(L"StandIn ProgId Scale", progId), c.result) << c.stored;
        if (c.result == opos::OPOS_SUCCESS) {
            EXPECT_EQ(progId, c.progId) << c.stored;
        }
    }
    std::wstring progId;
    EXPECT_EQ(standin::FindServiceProgId(L"Scale\\StandIn ProgId Scale", progId), opos::OPOS_E_NOEXIST);
}

}  // namespace
}  // namespace ka::test
