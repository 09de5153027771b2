// The registry helpers and the removal of the Uninstall entry.
#include "support.h"
#include "messages/text.h"
#include "registry/registry.h"
#include <string.h>

using fixture::Machine;

namespace {

TEST_F(Machine, DeleteSubtreeRemovesThreeLevelsDeepestFirst)
{
    winsim::RegSetString(HKEY_CURRENT_USER, "T\\top\\a\\a1\\deep", "v", "1");
    winsim::RegSetString(HKEY_CURRENT_USER, "T\\top\\b", "v", "2");
    winsim::RegAddKey(HKEY_CURRENT_USER, "T\\top-sibling");
    HKEY parent = RegOpenRead(HKEY_CURRENT_USER, "T"); // a read handle serves as the parent
    ASSERT_NE(nullptr, parent);
    EXPECT_TRUE(RegDeleteSubtree(parent, "top"));
    RegCloseKey(parent);
    EXPECT_FALSE(winsim::RegKeyExists(HKEY_CURRENT_USER, "T\\top"));
    EXPECT_TRUE(winsim::RegKeyExists(HKEY_CURRENT_USER, "T\\top-sibling"));
    EXPECT_EQ((std::vector<std::string>{"RegDeleteKeyA HKCU\\T\\top\\b", "RegDeleteKeyA HKCU\\T\\top\\a\\a1\\deep",
                                        "RegDeleteKeyA HKCU\\T\\top\\a\\a1", "RegDeleteKeyA HKCU\\T\\top\\a",
                                        "RegDeleteKeyA HKCU\\T\\top"}),
              fixture::EventsOf("RegDeleteKeyA"));
    EXPECT_EQ(0, winsim::OpenHandles());
}

TEST_F(Machine, DeleteSubtreeWithAChildThatCannotBeOpened)
{
    winsim::RegAddKey(HKEY_CURRENT_USER, "T\\top\\first");
    winsim::RegAddKey(HKEY_CURRENT_USER, "T\\top\\second");
    winsim::FailCallOn("RegOpenKeyExA", "T\\top\\second", ERROR_ACCESS_DENIED);
    HKEY parent = RegOpenRead(HKEY_CURRENT_USER, "T");
    EXPECT_FALSE(RegDeleteSubtree(parent, "top"));
    RegCloseKey(parent);
    EXPECT_FALSE(winsim::RegKeyExists(HKEY_CURRENT_USER, "T\\top\\first"));
    EXPECT_TRUE(winsim::RegKeyExists(HKEY_CURRENT_USER, "T\\top\\second"));
    EXPECT_TRUE(winsim::RegKeyExists(HKEY_CURRENT_USER, "T\\top"));
}

TEST_F(Machine, DeleteSubtreeRefusesEmptyAndMissingNames)
{
    winsim::RegAddKey(HKEY_CURRENT_USER, "T\\child");
    std::string before = winsim::RegDump();
    HKEY parent = RegOpenFull(HKEY_CURRENT_USER, "T");
    EXPECT_FALSE(RegDeleteSubtree(parent, ""));
    EXPECT_FALSE(RegDeleteSubtree(parent, "missing"));
    RegCloseKey(parent);
    EXPECT_EQ(before, winsim::RegDump());
}

TEST_F(Machine, SetStringStoresTextAsTerminatedRegSz)
{
    HKEY key = RegCreate(HKEY_CURRENT_USER, "T");
    ASSERT_NE(nullptr, key);
    EXPECT_TRUE(RegSetString(key, "1", "00000407"));
    EXPECT_TRUE(RegSetString(key, "empty", ""));
    RegCloseKey(key);
    auto values = winsim::RegValues(HKEY_CURRENT_USER, "T");
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ(std::string("00000407", 9), values[0].second); // the NUL is stored
    EXPECT_EQ("", values[1].second);                          // zero data bytes
}

TEST_F(Machine, CreateOpensAnExistingKeyUnchanged)
{
    winsim::RegSetString(HKEY_CURRENT_USER, "T\\k", "v", "x");
    winsim::RegAddKey(HKEY_CURRENT_USER, "T\\k\\sub");
    HKEY key = RegCreate(HKEY_CURRENT_USER, "T\\k");
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(1u, RegCountValues(key));
    EXPECT_EQ(1u, RegCountSubkeys(key));
    RegCloseKey(key);
}

TEST_F(Machine, ValueReadsNeverCarryOldBytesOrRunPastTheBuffer)
{
    HKEY key = RegCreate(HKEY_CURRENT_USER, "T");
    std::string longtext(200, 'L');
    RegSetString(key, "a-long", longtext.c_str());
    RegSetString(key, "b-short", "kurz");
    RegCloseKey(key);
    winsim::RegSetRaw(HKEY_CURRENT_USER, "T", "c-full", REG_SZ, std::string(260, 'F'));  // no NUL
    winsim::RegSetRaw(HKEY_CURRENT_USER, "T", "d-over", REG_SZ, std::string(261, 'O'));
    winsim::RegSetRaw(HKEY_CURRENT_USER, "T", std::string(260, 'n').c_str(), REG_SZ, std::string("x\0", 2));

    key = RegOpenRead(HKEY_CURRENT_USER, "T");
    ASSERT_EQ(5u, RegCountValues(key));
    ASSERT_TRUE(RegValueAt(key, 0));
    ASSERT_TRUE(RegValueAt(key, 1));
    EXPECT_STREQ("b-short", regvaluename);
    EXPECT_STREQ("kurz", regvaluedata); // nothing of the long value behind it
    ASSERT_TRUE(RegValueAt(key, 2));
    EXPECT_EQ(std::string(260, 'F'), std::string(regvaluedata, BoundedLength(regvaluedata, sizeof regvaluedata)));
    EXPECT_FALSE(RegValueAt(key, 3)); // more data than the buffer holds
    EXPECT_FALSE(RegValueAt(key, 4)); // name longer than 259 characters
    RegCloseKey(key);
}

TEST_F(Machine, CountsAreZeroWhenTheQueryFails)
{
    winsim::RegSetString(HKEY_CURRENT_USER, "T\\k", "v", "x");
    HKEY key = RegOpenRead(HKEY_CURRENT_USER, "T");
    winsim::FailCall("RegQueryInfoKeyA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0u, RegCountSubkeys(key));
    EXPECT_EQ(0u, RegCountValues(key));
    RegCloseKey(key);
}

TEST_F(Machine, UninstallEntryGoesWithEverythingBelowItAndNothingElse)
{
    const char *base = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    std::string entry = std::string(base) + "Tastaturbelegung DIN Tavik (Ostrelon 3.02)";
    std::string similar = std::string(base) + "Tastaturbelegung DIN Tavik (Ostrelon 3.02) Extra";
    winsim::RegSetString(HKEY_LOCAL_MACHINE, entry.c_str(), "UninstallString", "x");
    winsim::RegSetString(HKEY_LOCAL_MACHINE, (entry + "\\Sub").c_str(), "v", "y");
    winsim::RegSetString(HKEY_LOCAL_MACHINE, similar.c_str(), "DisplayName", "z");
    EXPECT_TRUE(WriteUninstallEntry("Tastaturbelegung DIN Tavik (Ostrelon 3.02)"));
    EXPECT_FALSE(winsim::RegKeyExists(HKEY_LOCAL_MACHINE, entry.c_str()));
    EXPECT_TRUE(winsim::RegKeyExists(HKEY_LOCAL_MACHINE, similar.c_str()));
    EXPECT_TRUE(WriteUninstallEntry("Tastaturbelegung DIN Tavik (Ostrelon 3.02)")); // already gone
}

TEST_F(Machine, UninstallEntryStaysWhenTheKeyCannotBeOpenedForChange)
{
    const char *entry = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tastaturbelegung DIN Tavik "
                        "(Ostrelon 3.02)";
    winsim::RegSetString(HKEY_LOCAL_MACHINE, entry, "UninstallString", "x");
    winsim::FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteUninstallEntry("Tastaturbelegung DIN Tavik (Ostrelon 3.02)"));
    EXPECT_TRUE(winsim::RegKeyExists(HKEY_LOCAL_MACHINE, entry));
}

} // namespace
