#include <gtest/gtest.h>

#include "admin/bas_win_reg.h"
#include "common/unique_handle.h"
#include "tests/admin/admin_test_support.h"
#include "tests/support/profile_fixture.h"
#include "tests/support/read_only_key.h"

using namespace vantorel::basWinReg;
using namespace ka::test;

namespace {

const std::string kDevice = "front scale";
const std::string kDeviceKey = std::string(kScaleClassKey) + "\\" + kDevice;

class BasWinReg : public ::testing::Test {
protected:
    ka::test::CleanProfiles clean_;
};

DWORD StoredSize(const std::string& path, const char* valueName) {
    ka::UniqueKey key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put());
    DWORD size = 0;
    RegQueryValueExA(key.get(), valueName, nullptr, nullptr, nullptr, &size);
    return size;
}

}  // namespace

TEST_F(BasWinReg, CreateProfileKeyMakesTheClassKeyOnAFreshMachine) {
    ASSERT_FALSE(KeyExists(kScaleClassKey));
    EXPECT_EQ(CreateProfileKey("Scale", kDevice), 0);
    EXPECT_TRUE(KeyExists(kScaleClassKey));
    EXPECT_TRUE(KeyExists(kDeviceKey));

    WriteText(kDeviceKey, "SerialPort", "COM4");
    EXPECT_EQ(CreateProfileKey("Scale", kDevice), 0) << "an existing key is simply opened";
    EXPECT_EQ(StoredText(kDeviceKey, "SerialPort"), "COM4");
}

TEST_F(BasWinReg, ThePseudoClassAddressesTheProviderKey) {
    EXPECT_EQ(ProviderKeyStatus("Kolvane-Aris"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CreateProfileKey(kProviderPseudoClass, "Kolvane-Aris"), 0);
    EXPECT_EQ(ProviderKeyStatus("Kolvane-Aris"), 0);
    EXPECT_EQ(SetProfileValue(kProviderPseudoClass, "Kolvane-Aris", "LogFile", "d:\\pos.log", ""), 0);
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "d:\\pos.log");
    EXPECT_EQ(GetProfileValue(kProviderPseudoClass, "Kolvane-Aris", "LogFile", "x"), "d:\\pos.log");
    // Any other casing of the pseudo-class is an ordinary device class.
    EXPECT_EQ(GetProfileValue("--opos--provider--", "Kolvane-Aris", "LogFile", "x"), "x");
}

TEST_F(BasWinReg, SetProfileValueAppendsTheDescriptionAndCountsTheNul) {
    ASSERT_EQ(CreateProfileKey("Scale", kDevice), 0);
    EXPECT_EQ(SetProfileValue("Scale", kDevice, "BaudRate", "9600",
                              "The baud rate of the connection between the scale and the POS terminal."),
              0);
    const std::string stored = "9600  ||| The baud rate of the connection between the scale and the POS terminal.";
    EXPECT_EQ(StoredText(kDeviceKey, "BaudRate"), stored);
    EXPECT_EQ(StoredSize(kDeviceKey, "BaudRate"), stored.size() + 1);
    EXPECT_EQ(GetProfileValue("Scale", kDevice, "BaudRate", "none"), "9600");

    EXPECT_EQ(SetProfileValue("Scale", kDevice, "Parity", "Odd", ""), 0);
    EXPECT_EQ(StoredText(kDeviceKey, "Parity"), "Odd") << "no suffix without a description";
}

TEST_F(BasWinReg, SetProfileValueNeverCreatesTheKey) {
    EXPECT_EQ(SetProfileValue("Scale", kDevice, "SerialPort", "COM2", ""), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(KeyExists(kScaleClassKey));
}

TEST_F(BasWinReg, AnEmptyValueNameIsTheDefaultValue) {
    ASSERT_EQ(CreateProfileKey("Scale", kDevice), 0);
    EXPECT_EQ(SetProfileValue("Scale", kDevice, "", "KolvaneAris.ScaleTRM07", ""), 0);
    EXPECT_EQ(StoredText(kDeviceKey, ""), "KolvaneAris.ScaleTRM07");
    EXPECT_EQ(GetProfileValue("Scale", kDevice, "", "none"), "KolvaneAris.ScaleTRM07");
}

TEST_F(BasWinReg, GetProfileValueReadsValuesOfAnyLengthWhole) {
    for (const std::size_t length : {99u, 100u, 4000u}) {
        WriteText(kDeviceKey, "Long", std::string(length, 'a') + "  ||| described");
        EXPECT_EQ(GetProfileValue("Scale", kDevice, "Long", "default"), std::string(length, 'a')) << length;
    }
}

TEST_F(BasWinReg, GetProfileValueFallsBackToTheDefault) {
    ka::test::ProfileFixture profiles;
    profiles.SetDeviceDword(kDevice, "BaudRate", 9600);
    EXPECT_EQ(GetProfileValue("Scale", kDevice, "BaudRate", "dflt"), "dflt") << "REG_DWORD";
    EXPECT_EQ(GetProfileValue("Scale", kDevice, "Missing", "dflt"), "dflt");
    EXPECT_EQ(GetProfileValue("Scale", "no such device", "BaudRate", "dflt"), "dflt");
}

TEST_F(BasWinReg, GetProfileValueCutsTheDescriptionAndItsBlanksOnly) {
    WriteText(kDeviceKey, "Suffixed", "COM1  ||| Serial port this scale is plugged into.");
    WriteText(kDeviceKey, "Plain", "COM1  ");
    WriteText(kDeviceKey, "OnlySuffix", "  ||| nothing before it");
    WriteText(kDeviceKey, "Twice", "a ||| b ||| c");
    EXPECT_EQ(GetProfileValue("Scale", kDevice, "Suffixed", ""), "COM1");
    EXPECT_EQ(GetProfileValue("Scale", kDevice, "Plain", ""), "COM1  ");
    EXPECT_EQ(GetProfileValue("Scale", kDevice, "OnlySuffix", "x"), "");
    EXPECT_EQ(GetProfileValue("Scale", kDevice, "Twice", ""), "a");
}

TEST_F(BasWinReg, DeviceKeyExistsComparesTheExactName) {
    ASSERT_EQ(CreateProfileKey("Scale", kDevice), 0);
    ASSERT_EQ(SetProfileValue("Scale", kDevice, "SerialPort", "COM3", ""), 0);
    EXPECT_EQ(DeviceKeyExists("Scale", "front scale"), 1);
    EXPECT_EQ(DeviceKeyExists("Scale", "Front Scale"), 0);
    // ... although opening the capitalised name reaches the same key.
    EXPECT_EQ(GetProfileValue("Scale", "Front Scale", "SerialPort", ""), "COM3");
    EXPECT_EQ(ProfileKeyStatus("Scale", "Front Scale"), 0);
    EXPECT_EQ(DeviceKeyExists("Scale", "front"), 0);
    EXPECT_EQ(DeviceKeyExists("NoSuchClass", "front scale"), 0);
}

TEST_F(BasWinReg, SubkeyNamesOfEveryLengthTheRegistryHoldsAreEnumerated) {
    // Subkeys enumerate in name order: "alpha", the long name, "zulu".
    const std::string longest = "m" + std::string(kMaxKeyNameLength - 1, 'x');
    for (const std::string& name : {std::string("alpha"), longest, std::string("zulu")}) {
        ASSERT_EQ(CreateProfileKey("Scale", name), 0) << name;
    }
    EXPECT_EQ(EnumDeviceName("Scale", 0), "alpha");
    EXPECT_EQ(EnumDeviceName("Scale", 1), longest);
    EXPECT_EQ(EnumDeviceName("Scale", 2), "zulu");
    EXPECT_EQ(EnumDeviceName("Scale", 3), "");
    EXPECT_EQ(EnumDeviceName("Scale", -1), "");
    EXPECT_EQ(DeviceKeyExists("Scale", longest), 1);
    EXPECT_EQ(DeviceKeyExists("Scale", "zulu"), 1) << "the search goes on past the long name";
}

// A user who may read the profiles but not change them: every reading opens for reading only.
TEST_F(BasWinReg, ReadingTheProfilesNeedsOnlyTheRightToRead) {
    ASSERT_EQ(CreateProfileKey("Scale", kDevice), 0);
    ASSERT_EQ(CreateProfileKey(kProviderPseudoClass, "Kolvane-Aris"), 0);
    ka::test::ReadOnlyKey lockedClass(kScaleClassKey);
    ka::test::ReadOnlyKey lockedDevice(kDeviceKey);
    ka::test::ReadOnlyKey lockedProvider(kProviderKey);
    ASSERT_TRUE(lockedClass.applied() && lockedDevice.applied() && lockedProvider.applied());
    EXPECT_EQ(DeviceKeyExists("Scale", kDevice), 1);
    EXPECT_EQ(ProfileKeyStatus("Scale", kDevice), 0);
    EXPECT_EQ(ProviderKeyStatus("Kolvane-Aris"), 0);
    EXPECT_EQ(SetProfileValue("Scale", kDevice, "BaudRate", "9600", ""), ERROR_ACCESS_DENIED) << "writing is refused";
}

TEST_F(BasWinReg, DeleteProfileKeyRemovesOneKeyWithoutSubkeys) {
    EXPECT_EQ(DeleteProfileKey("Scale", kDevice), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(CreateProfileKey("Scale", kDevice), 0);
    ASSERT_EQ(CreateProfileKey("Scale", kDevice + "\\inner"), 0) << "a backslash makes nested keys";
    EXPECT_NE(DeleteProfileKey("Scale", kDevice), 0) << "a key with subkeys stays";
    EXPECT_TRUE(KeyExists(kDeviceKey));
    EXPECT_EQ(DeleteProfileKey("Scale", kDevice + "\\inner"), 0);
    EXPECT_EQ(DeleteProfileKey("SCALE", "FRONT SCALE"), 0);
    EXPECT_FALSE(KeyExists(kDeviceKey));
    EXPECT_TRUE(KeyExists(kScaleClassKey));
}
