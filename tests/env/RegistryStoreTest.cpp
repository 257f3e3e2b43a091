#include <gtest/gtest.h>

#include "env/Errors.h"
#include "env/Registry.h"
#include "env/RegistryStore.h"

namespace remdo::env {
namespace {

constexpr auto kMachine = TRegistryRoot::kLocalMachine;
constexpr auto kUser = TRegistryRoot::kCurrentUser;

// As Wine writes it: doubled backslashes, escapes, a time stamp after the
// key, expandable strings, numbers and hex data over several lines.
constexpr std::string_view kWineSystem =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Borland\\\\Database Engine] 1796676157\n"
    "#time=1dd868b7e9ce2fc\n"
    "\"DLLPATH\"=\"C:\\\\Program Files (x86)\\\\Common Files\\\\Borland Shared\\\\BDE\"\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\n"
    "\"Caf\\x00e9\"=\"na\\x00efve\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1796676158\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
    "\"ProgramFilesDir (x86)\"=\"C:\\\\Program Files (x86)\"\n"
    "\"ProgramFilesPath\"=str(2):\"%ProgramFiles%\"\n"
    "\"FirstInstallDateTime\"=hex:21,81,7c,23,\\\n"
    "  00,01\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1796676158\n"
    "\"CurrentVersion\"=\"6.1\"\n"
    "\"InstallDate\"=dword:4be5019a\n"
    "@=\"default value\"\n"
    "\n"
    "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths] 1796676153\n"
    "\"broken line without an equals sign\n";

TEST(RegistryStore, ReadsWinesOwnFormat) {
  TRegistryStore store;
  const TRegistryLoadResult result = store.LoadText(kWineSystem);
  EXPECT_EQ(result.keys, 4);
  EXPECT_EQ(result.skippedLines, 1);
  EXPECT_EQ(store.ReadString(kMachine, "software\\BORLAND\\database engine", "dllpath"),
            "C:\\Program Files (x86)\\Common Files\\Borland Shared\\BDE");
  EXPECT_EQ(store.ReadString(kMachine, "Software\\Borland\\Database Engine", "Quoted"), "say \"hi\"");
  EXPECT_EQ(store.ReadString(kMachine, "Software\\Borland\\Database Engine", "Caf\xE9"),
            "na\xEFve");  // e/i with accents
  EXPECT_EQ(store.ReadString(kMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion", ""), "default value");
  EXPECT_EQ(store.ReadNumber(kMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion", "InstallDate"), 0x4be5019au);
  EXPECT_EQ(store.ReadString(kMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion", "InstallDate"), std::nullopt);
  EXPECT_EQ(store.ReadNative(kMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesPath")->kind,
            TRegistryValueKind::kExpandString);
  EXPECT_EQ(store.ReadNative(kMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "FirstInstallDateTime")->kind,
            TRegistryValueKind::kOther);
  EXPECT_FALSE(store.KeyExists(kUser, "Software\\Borland\\Database Engine"));
}

TEST(RegistryStore, ShowsThe32BitViewOfA64BitRegistry) {
  TRegistryStore store;
  store.LoadText(kWineSystem);
  // The twin key exists, so its view answers; Windows gives 32-bit programs
  // the (x86) folder there.
  EXPECT_EQ(store.ReadString(kMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
            "C:\\Program Files (x86)");
  EXPECT_EQ(store.ReadString(kMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesPath"),
            std::nullopt);
  EXPECT_EQ(store.ReadNative(kMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir")->text,
            "C:\\Program Files");
  // Without a twin the plain key answers.
  EXPECT_TRUE(store.ReadString(kMachine, "Software\\Borland\\Database Engine", "DLLPATH").has_value());
  EXPECT_TRUE(store.KeyExists(kMachine, "Software\\Microsoft\\Windows"));  // a parent exists through its subkeys
  EXPECT_FALSE(store.KeyExists(kMachine, "Software\\Microsoft\\Win"));
}

TEST(RegistryStore, ReadsWinesUserFileIntoTheUsersKeys) {
  TRegistryStore store;
  store.LoadText(
      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
      "[Environment] 1796676157\n\"TEMP\"=\"C:\\\\users\\\\ann\\\\Temp\"\n");
  EXPECT_EQ(store.ReadString(kUser, "Environment", "TEMP"), "C:\\users\\ann\\Temp");
  EXPECT_FALSE(store.KeyExists(kMachine, "Environment"));

  // The default user's file belongs to no one this program reads.
  TRegistryStore defaults;
  const auto result = defaults.LoadText(
      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n\n[Environment] "
      "1\n\"A\"=\"b\"\n");
  EXPECT_EQ(result.values, 0);
  EXPECT_FALSE(defaults.KeyExists(kUser, "Environment"));
}

TEST(RegistryStore, ReadsRegeditExports) {
  TRegistryStore store;
  store.LoadText(
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Database Engine]\r\n"
      "\"DLLPATH\"=\"C:\\\\BDE\"\r\n"
      "\"Expand\"=hex(2):25,54,45,4d,50,25,00\r\n"
      "\"Gone\"=\"x\"\r\n"
      "\"Gone\"=-\r\n"
      "[HKEY_CLASSES_ROOT\\.db]\r\n"
      "@=\"not read\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Old]\r\n"
      "\"A\"=\"1\"\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Old]\r\n");
  EXPECT_EQ(store.ReadString(kMachine, "SOFTWARE\\Borland\\Database Engine", "DLLPATH"), "C:\\BDE");
  EXPECT_EQ(store.ReadString(kMachine, "SOFTWARE\\Borland\\Database Engine", "Expand"), "%TEMP%");
  EXPECT_EQ(store.ReadString(kMachine, "SOFTWARE\\Borland\\Database Engine", "Gone"), std::nullopt);
  EXPECT_FALSE(store.KeyExists(kUser, "Software\\Old"));

  // Version 5 comes as UTF-16 with a byte order mark.
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Fenro]\r\n"
      u"\"Name\"=\"Caf\u00e9\"\r\n\"Path\"=hex(2):43,00,3a,00,5c,00,00,00\r\n\"Count\"=dword:0000000a\r\n";
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  TRegistryStore v5;
  v5.LoadText(bytes);
  EXPECT_EQ(v5.ReadString(kUser, "Software\\Fenro", "Name"), "Caf\xE9");  // e with acute accent
  EXPECT_EQ(v5.ReadString(kUser, "Software\\Fenro", "Path"), "C:\\");
  EXPECT_EQ(v5.ReadNumber(kUser, "Software\\Fenro", "Count"), 10u);
}

TEST(RegistryStore, RefusesTextThatIsNoRegistryFile) {
  TRegistryStore store;
  EXPECT_THROW(store.LoadText("[FENRO]\r\nDataDir=C:\\FENRO\r\n"), EReadError);
  EXPECT_THROW(store.LoadText(""), EReadError);
  EXPECT_THROW(store.LoadFile(RealFileSystem(), "/no/such/system.reg"), EFOpenError);
}

TEST(RegistryStore, WritesOnlyIntoExistingKeys) {
  TRegistryStore store;
  TRegistry& registry = store;
  EXPECT_FALSE(registry.WriteString(kMachine, "SOFTWARE\\Borland\\Database Engine\\Settings\\System\\INIT",
                                    "MAXBUFSIZE", "20480"));
  ASSERT_TRUE(registry.CreateKey(kMachine, "SOFTWARE\\Borland\\Database Engine\\Settings\\System\\INIT"));
  EXPECT_TRUE(registry.KeyExists(kMachine, "Software\\Borland\\Database Engine\\Settings"));
  ASSERT_TRUE(registry.WriteString(kMachine, "Software\\Borland\\Database Engine\\Settings\\System\\INIT", "MAXBUFSIZE",
                                   "20480"));
  EXPECT_EQ(registry.ReadString(kMachine, "SOFTWARE\\BORLAND\\Database Engine\\Settings\\System\\INIT", "maxbufsize"),
            "20480");
  EXPECT_TRUE(
      registry.DeleteValue(kMachine, "Software\\Borland\\Database Engine\\Settings\\System\\INIT", "MAXBUFSIZE"));
  EXPECT_FALSE(
      registry.DeleteValue(kMachine, "Software\\Borland\\Database Engine\\Settings\\System\\INIT", "MAXBUFSIZE"));
}

// The registry of the machine the tests run on: Windows's own under Wine,
// the (empty) store on Linux. A value written into a scratch key reads back.
TEST(RealRegistry, WritesAndReadsAValue) {
  TRegistry& registry = RealRegistry();
  constexpr std::string_view kKey = "Software\\Remdo Tests";
  ASSERT_TRUE(registry.CreateKey(kUser, kKey));
  ASSERT_TRUE(registry.WriteString(kUser, kKey, "Probe", "Caf\xE9 \x97 1252"));  // accented e, em dash
  EXPECT_EQ(registry.ReadString(kUser, kKey, "probe"), "Caf\xE9 \x97 1252");
  EXPECT_EQ(registry.ReadNumber(kUser, kKey, "Probe"), std::nullopt);
  EXPECT_TRUE(registry.DeleteValue(kUser, kKey, "Probe"));
  EXPECT_EQ(registry.ReadString(kUser, kKey, "Probe"), std::nullopt);
  EXPECT_FALSE(registry.KeyExists(kUser, "Software\\Remdo Tests\\No Such Key"));
}

}  // namespace
}  // namespace remdo::env
