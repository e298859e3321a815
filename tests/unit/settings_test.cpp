#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

#include "base/errors.h"
#include "settings/ini_file.h"
#include "settings/registry_key.h"
#include "tests/support/scratch.h"

TEST(Settings, PathIsAppDataFollowedByTheFixedTail)
{
    EXPECT_EQ(SettingsPath(L"C:\\users\\pilote\\AppData\\Roaming"),
              L"C:\\users\\pilote\\AppData\\Roaming\\LeTarvik\\LanceurTarvik\\TarvikLauncher.ini");
    EXPECT_EQ(SettingsPath(L""), L"\\LeTarvik\\LanceurTarvik\\TarvikLauncher.ini");
}

namespace {

struct IniFixture : ::testing::Test {
    ScratchFolder scratch{L"ini"};
    const std::wstring folder = scratch.Path();
    const std::wstring path = folder + L"\\TarvikLauncher.ini";

    void Write(const std::string& content)
    {
        std::ofstream(path.c_str(), std::ios::binary) << content;
    }
};

} // namespace

TEST_F(IniFixture, ReadsWhatIsThereAndDefaultsForWhatIsNot)
{
    Write("[CONDOR 3]\r\nCheminExe=C:\\Condor3\r\nVide=\r\nLong=" + std::string(2100, 'a') +
          "\r\n[LAUNCHER]\r\nAlerte=1\r\nAutoConnect=oui\r\nUpdate=no\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString(L"CONDOR 3", L"CheminExe", L"VIDE"), L"C:\\Condor3");
    EXPECT_EQ(ini.ReadString(L"condor 3", L"chemiNexe", L"VIDE"), L"C:\\Condor3") << "names ignore case";
    EXPECT_EQ(ini.ReadString(L"CONDOR 3", L"Vide", L"VIDE"), L"") << "present but empty is not the default";
    EXPECT_EQ(ini.ReadString(L"CONDOR 3", L"Absent", L"VIDE"), L"VIDE");
    EXPECT_EQ(ini.ReadString(L"AUTRE", L"CheminExe", L"VIDE"), L"VIDE");
    EXPECT_EQ(ini.ReadString(L"CONDOR 3", L"Long", L""), std::wstring(2047, L'a')) << "cut to the buffer";
    EXPECT_TRUE(ini.ReadBool(L"LAUNCHER", L"Alerte", false));
    EXPECT_FALSE(ini.ReadBool(L"LAUNCHER", L"AutoConnect", false));
    EXPECT_FALSE(ini.ReadBool(L"LAUNCHER", L"Absent", false));

    IniFile missing(folder + L"\\absent.ini");
    EXPECT_EQ(missing.ReadString(L"CONDOR 3", L"CheminExe", L"VIDE"), L"VIDE");
}

TEST_F(IniFixture, WritesFlagsAsOneAndZeroAndReportsFailures)
{
    {
        IniFile ini(path);
        ini.WriteBool(L"LAUNCHER", L"Alerte", true);
        EXPECT_EQ(ini.ReadString(L"LAUNCHER", L"Alerte", L""), L"1");
        ini.WriteBool(L"LAUNCHER", L"Alerte", false);
        EXPECT_EQ(ini.ReadString(L"LAUNCHER", L"Alerte", L""), L"0");
    }
    // A read-only attribute stops nobody running as root, as the tests do
    // under Wine: a folder standing where the file should be does.
    const std::wstring inTheWay = folder + L"\\dossier.ini";
    CreateDirectoryW(inTheWay.c_str(), nullptr);
    const std::wstring elsewhere = folder + L"\\absent\\TarvikLauncher.ini";
    for (const std::wstring& unwritable : {inTheWay, elsewhere}) {
        IniFile ini(unwritable);
        try {
            ini.WriteString(L"CONDOR 3", L"CheminExe", L"C:\\Condor3");
            ADD_FAILURE() << "no error for " << ::testing::PrintToString(unwritable);
        } catch (const LauncherError& e) {
            EXPECT_EQ(e.Message(), L"Impossible d'écrire dans " + unwritable);
        }
    }
    RemoveDirectoryW(inTheWay.c_str());
}

namespace {

// A scratch key in the 32-bit view of the current user's registry.
struct RegistryFixture : ::testing::Test {
    const std::wstring key = L"SOFTWARE\\TarvikUnitTests" + std::to_wstring(GetCurrentProcessId());
    HKEY handle = nullptr;

    void SetUp() override
    {
        // The process id repeats from run to run under Wine: start empty.
        RegDeleteKeyExW(HKEY_CURRENT_USER, key.c_str(), KEY_WOW64_32KEY, 0);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                  nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegCloseKey(handle);
        RegDeleteKeyExW(HKEY_CURRENT_USER, key.c_str(), KEY_WOW64_32KEY, 0);
    }
    void Set(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
};

} // namespace

TEST_F(RegistryFixture, ReadsTextValuesUpToTheirFirstNul)
{
    const wchar_t plain[] = L"C:\\Condor3";
    const wchar_t expandable[] = L"%ProgramFiles%\\Condor3";
    const wchar_t withNul[] = L"C:\\A\0B";
    Set(L"Plain", REG_SZ, plain, sizeof plain);
    Set(L"Expandable", REG_EXPAND_SZ, expandable, sizeof expandable);
    Set(L"WithNul", REG_SZ, withNul, sizeof withNul);
    Set(L"Unterminated", REG_SZ, plain, sizeof plain - sizeof(wchar_t));

    RegistryKey registry;
    ASSERT_TRUE(registry.OpenReadOnly(L"\\" + key));
    EXPECT_EQ(registry.ReadString(L"Plain"), L"C:\\Condor3");
    EXPECT_EQ(registry.ReadString(L"Expandable"), L"%ProgramFiles%\\Condor3") << "not expanded";
    EXPECT_EQ(registry.ReadString(L"WithNul"), L"C:\\A");
    EXPECT_EQ(registry.ReadString(L"Unterminated"), L"C:\\Condor3");
    EXPECT_EQ(registry.ReadString(L"Absent"), L"");

    RegistryKey none;
    EXPECT_FALSE(none.OpenReadOnly(L"\\SOFTWARE\\TarvikNoSuchKey"));
    EXPECT_EQ(none.ReadString(L"InstallDir"), L"");
}

TEST_F(RegistryFixture, OtherTypesAreAnError)
{
    const DWORD number = 1;
    Set(L"InstallDir", REG_DWORD, &number, sizeof number);
    Set(L"Binary", REG_BINARY, "C:\\", 3);
    RegistryKey registry;
    ASSERT_TRUE(registry.OpenReadOnly(L"\\" + key));
    for (const wchar_t* name : {L"InstallDir", L"Binary"}) {
        try {
            registry.ReadString(name);
            ADD_FAILURE() << "no error";
        } catch (const LauncherError& e) {
            EXPECT_EQ(e.Message(), std::wstring(L"Type de données incorrect pour '") + name + L"'");
        }
    }
}
