// The keyboard layout model: reading the three lists, removing the target, writing back.
#include "support.h"
#include "layouts/layouts.h"
#include "uninstall/uninstall.h"
#include <string.h>

using fixture::List;
using fixture::Machine;
using fixture::Value;
using Values = std::vector<Value>;


namespace {

constexpr const char *preloadkey = fixture::preloadkey;
constexpr const char *substituteskey = fixture::substituteskey;

void Target(const char *klid) { strcpy(targetklid, klid); }

// Read, remove and write as the uninstall does; true when every step succeeded.
bool Rewrite()
{
    return ReadLayoutRegistry() && RemoveLayout() && WriteLayoutLists();
}

struct WorkedExample {
    const char *title;
    Values preload, substitutes;
    const char *target;
    Values newpreload, newsubstitutes; // in the order they are written
};

TEST_F(Machine, WorkedExamplesRenumberAndRenameTheUserLists)
{
    const WorkedExample cases[] = {
        {"simple removal",
         {{"1", "00000407"}, {"2", "d0010407"}},
         {{"d0010407", "a0000407"}},
         "a0000407",
         {{"1", "00000407"}},
         {}},
        {"head of the list goes",
         {{"1", "d0010407"}, {"2", "00000409"}, {"3", "d0020407"}, {"4", "00000407"}},
         {{"d0010407", "a0000407"}, {"d0020407", "a0010407"}},
         "a0000407",
         {{"1", "00000409"}, {"2", "00000407"}, {"3", "d0010407"}},
         {{"d0010407", "a0010407"}}},
        {"all substituted, target holds the standard KLID",
         {{"1", "00000407"}, {"2", "d0010407"}},
         {{"00000407", "a0000407"}, {"d0010407", "a0010407"}},
         "a0000407",
         {{"1", "00000407"}},
         {{"00000407", "a0010407"}}},
        {"all substituted, target elsewhere",
         {{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0020407"}},
         {{"00000407", "a0000407"}, {"d0010407", "a0010407"}, {"d0020407", "a0020407"}},
         "a0010407",
         {{"1", "00000407"}, {"2", "d0010407"}},
         {{"00000407", "a0000407"}, {"d0010407", "a0020407"}}},
        {"value name that is not a number",
         {{"1", "00000407"}, {"x", "d0020407"}, {"2", "d0010407"}},
         {{"d0010407", "a0000407"}, {"d0020407", "a0010407"}},
         "a0000407",
         {{"1", "00000407"}, {"2", "d0010407"}},
         {{"d0010407", "a0010407"}}},
        {"order of the two passes",
         {{"1", "d0010407"}, {"2", "00000407"}, {"3", "d0020407"}, {"4", "00000409"}},
         {{"d0010407", "a0010407"}, {"d0020407", "a0000407"}},
         "a0000407",
         {{"2", "00000407"}, {"3", "00000409"}, {"1", "d0010407"}},
         {{"d0010407", "a0010407"}}},
    };
    for (const WorkedExample &c : cases) {
        SCOPED_TRACE(c.title);
        winsim::Reset();
        fixture::SetList(preloadkey, c.preload);
        fixture::SetList(substituteskey, c.substitutes);
        fixture::AddLayout(c.target);
        Target(c.target);
        ASSERT_TRUE(Rewrite()) << layouterror;
        // The registry keeps values in the order they were written.
        EXPECT_EQ(c.newpreload, List(HKEY_CURRENT_USER, preloadkey));
        EXPECT_EQ(c.newsubstitutes, List(HKEY_CURRENT_USER, substituteskey));
    }
}

TEST_F(Machine, ReadingFollowsTheRegistryLettersWhereWindowsDoes)
{
    fixture::SetList(preloadkey, {{"1", "00000407"}, {"02", "d0010407"}, {"x", "d0010407"}, {" 7", "D0020407"}});
    fixture::SetList(substituteskey, {{"d0010407", "a0000407"}, {"d0020407", "a0010407"}});
    fixture::AddLayout("a0000407");
    fixture::AddLayout("00000c07");
    fixture::AddLayout("00000409");
    winsim::RegSetString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts\\a0010407",
                         "layout file", "Lorvanis.DLL");
    Target("A0000407");
    ASSERT_TRUE(ReadLayoutRegistry()) << layouterror;

    ASSERT_EQ(4, preloadcount);
    EXPECT_EQ(2, preload[1].number);
    EXPECT_FALSE(preload[1].canonical);
    EXPECT_EQ(0, preload[2].number);
    EXPECT_FALSE(preload[2].canonical);
    EXPECT_EQ(7, preload[3].number);
    EXPECT_TRUE(preload[0].canonical);
    EXPECT_STREQ("a0000407", preload[1].substitute); // the first entry listing d0010407 ...
    EXPECT_EQ(nullptr, preload[2].substitute);       // ... and only that one
    EXPECT_EQ(nullptr, preload[3].substitute);       // D0020407 is not d0020407 here

    // 00000409 is no German layout and 00000c07 not spelled as Windows names the family.
    ASSERT_EQ(2, layoutcount);
    EXPECT_STREQ("a0000407", layouts[0].klid);
    EXPECT_STREQ("a0010407", layouts[1].klid);
    EXPECT_EQ(0, targetindex); // letter case does not count for the target
    EXPECT_STREQ("Lorvanis.DLL", layouts[0].file);
    EXPECT_EQ(nullptr, layouts[1].file); // "layout file" is not "Layout File"

    winsim::Reset();
    fixture::AddLayout("00000C07");
    ASSERT_TRUE(ReadLayoutRegistry());
    EXPECT_EQ(1, layoutcount);
    EXPECT_EQ(-1, targetindex);
}

TEST_F(Machine, AnEmptyPreloadReadsAsNoEntries)
{
    Target("b0010407");
    ASSERT_TRUE(ReadLayoutRegistry());
    EXPECT_EQ(0, preloadcount);
    EXPECT_EQ(-1, targetindex);
}

TEST_F(Machine, ParseDecimalReadsDigitsAnywhere)
{
    struct Case {
        const char *text;
        int32_t value;
    } cases[] = {{"12", 12}, {" 7", 7}, {"1a2", 12}, {"x", 0}, {"", 0}, {"-3", -3}, {"4294967297", 1}};
    for (const Case &c : cases)
        EXPECT_EQ(c.value, ParseDecimal(c.text)) << c.text;
    EXPECT_TRUE(IsStandardKlid("00000409"));
    EXPECT_FALSE(IsStandardKlid("0000040"));
    EXPECT_FALSE(IsStandardKlid(nullptr));
    EXPECT_TRUE(SameText(nullptr, nullptr));
    EXPECT_FALSE(SameText("a", nullptr));
    EXPECT_TRUE(SameText("A0000407", "a0000407"));
}

TEST_F(Machine, ReadFailuresLeaveOneMessage)
{
    struct Case {
        const char *failingkey;
        const char *message;
    } cases[] = {
        {"Keyboard Layout\\Preload", "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Preload"},
        {"Keyboard Layout\\Substitutes",
         "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes"},
        {"Control\\Keyboard Layouts",
         "Fehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Keyboard Layouts"},
        {"Keyboard Layouts\\b0010407",
         "Fehler beim Öffnen des Registry-Subkeys System\\CurrentControlSet\\Control\\Keyboard Layouts - b0010407"},
    };
    for (const Case &c : cases) {
        winsim::Reset();
        fixture::InstallLayout();
        Target("b0010407");
        winsim::FailCallOn("RegOpenKeyExA", c.failingkey, ERROR_ACCESS_DENIED);
        EXPECT_FALSE(ReadLayoutRegistry()) << c.failingkey;
        EXPECT_STREQ(c.message, layouterror);
    }
}

TEST_F(Machine, AMissingSubstitutesKeyIsAReadFailure)
{
    fixture::InstallLayout();
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Keyboard Layout", 0, KEY_ALL_ACCESS, &parent));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(parent, "Substitutes"));
    RegCloseKey(parent);
    Target("b0010407");
    EXPECT_FALSE(ReadLayoutRegistry());
    EXPECT_STREQ("Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes", layouterror);
}

TEST_F(Machine, MoreThanAHundredEntriesAreRefusedRatherThanCut)
{
    for (int i = 1; i <= 101; i++)
        fixture::SetList(preloadkey, {{std::to_string(i), "00000407"}});
    Target("b0010407");
    EXPECT_FALSE(ReadLayoutRegistry());
    EXPECT_STREQ("Der Registry-Key HKEY_CURRENT_USER\\Keyboard Layout\\Preload enthält mehr als 100 Einträge.\n"
                 "Die Liste kann nicht ohne Verlust neu geschrieben werden.",
                 layouterror);

    winsim::Reset();
    for (int i = 0; i < 101; i++) {
        char klid[16];
        snprintf(klid, sizeof klid, "a%03x0407", i);
        fixture::AddLayout(klid);
    }
    EXPECT_FALSE(ReadLayoutRegistry());
    EXPECT_EQ(0, strncmp(layouterror, "Der Registry-Key HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Keyboard "
                                      "Layouts enthält mehr als 100 deutsche Tastaturbelegungen.", 200))
        << layouterror;
}

TEST_F(Machine, RemovalKeepsWhatDoesNotReachTheTarget)
{
    // Two entries reach the target: only the later one goes.
    fixture::SetList(preloadkey, {{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0020407"}, {"250", "d0030407"},
                                  {"-1", "00000409"}, {"01", "00000807"}});
    fixture::SetList(substituteskey, {{"d0010407", "a0000407"}, {"d0020407", "a0000407"}, {"d0030407", "a0030407"}});
    fixture::AddLayout("a0000407");
    Target("a0000407");
    ASSERT_TRUE(Rewrite()) << layouterror;
    // 250 and -1 lie outside the numbers carried over; the standard 01 keeps its number 1.
    EXPECT_EQ((Values{{"1", "00000407"}, {"2", "00000807"}, {"3", "d0010407"}}), List(HKEY_CURRENT_USER, preloadkey));
    EXPECT_EQ((Values{{"d0010407", "a0000407"}}), List(HKEY_CURRENT_USER, substituteskey));
}

TEST_F(Machine, ATargetListedWithoutSubstituteLeavesTheListsAlone)
{
    fixture::SetList(preloadkey, {{"1", "00000407"}, {"2", "a0000407"}});
    fixture::AddLayout("a0000407");
    Target("a0000407");
    std::string before = winsim::RegDump();
    ASSERT_TRUE(Rewrite());
    EXPECT_TRUE(listsunchanged);
    EXPECT_EQ(before, winsim::RegDump());
}

TEST_F(Machine, RemovalRefusesWhatCannotGo)
{
    Target("a0000407");
    ASSERT_TRUE(ReadLayoutRegistry());
    EXPECT_FALSE(RemoveLayout());
    EXPECT_STREQ("Schlüssel nicht vorhanden", layouterror);

    fixture::AddLayout("00000807"); // German family and standard
    Target("00000807");
    ASSERT_TRUE(ReadLayoutRegistry());
    EXPECT_FALSE(RemoveLayout());
    EXPECT_STREQ("Standard-Layout kann nicht entfernt werden", layouterror);
    EXPECT_FALSE(WriteLayoutLists());
    EXPECT_STREQ("INTERNER FEHLER: newpreloadcount ist 0!", layouterror);
}

TEST_F(Machine, OnlyTheTargetInPreloadWritesNothing)
{
    fixture::SetList(preloadkey, {{"1", "d0010407"}});
    fixture::SetList(substituteskey, {{"d0010407", "a0000407"}});
    fixture::AddLayout("a0000407");
    Target("a0000407");
    std::string before = winsim::RegDump();
    EXPECT_FALSE(Rewrite());
    EXPECT_STREQ("INTERNER FEHLER: newpreloadcount ist 0!", layouterror);
    EXPECT_EQ(before, winsim::RegDump());
}

TEST_F(Machine, WriteProblemsAreWarningsAndTheLastOneRemains)
{
    struct Case {
        const char *call, *key;
        const char *message;
        Values preloadafter, substitutesafter;
    } cases[] = {
        {"RegOpenKeyExA", "Keyboard Layout", "Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout",
         {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "b0010407"}}},
        {"RegCreateKeyExA", "Keyboard Layout\\Preload",
         "Warnung:\nFehler beim Wiedererstellen des Registry-Keys Keyboard Layout - Preload", {}, {}},
        {"RegOpenKeyExA", "Keyboard Layout\\Substitutes",
         "Warnung:\nFehler beim Löschen des Registry-Keys Keyboard Layout - Substitutes", {{"1", "00000407"}},
         {{"d0010407", "b0010407"}}},
        {"RegCreateKeyExA", "Keyboard Layout\\Substitutes",
         "Warnung:\nFehler beim Wiedererstellen des Registry-Keys Keyboard Layout - Substitutes", {{"1", "00000407"}}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + c.key);
        winsim::Reset();
        fixture::InstallLayout();
        Target("b0010407");
        ASSERT_TRUE(ReadLayoutRegistry());
        ASSERT_TRUE(RemoveLayout());
        winsim::FailCallOn(c.call, c.key, ERROR_ACCESS_DENIED);
        EXPECT_FALSE(WriteLayoutLists());
        EXPECT_STREQ(c.message, layouterror);
        EXPECT_EQ(c.preloadafter, List(HKEY_CURRENT_USER, preloadkey));
        EXPECT_EQ(c.substitutesafter, List(HKEY_CURRENT_USER, substituteskey));
    }
}

TEST_F(Machine, APreloadThatCannotBeDeletedStillLetsSubstitutesBeRewritten)
{
    fixture::InstallLayout();
    Target("b0010407");
    ASSERT_TRUE(ReadLayoutRegistry());
    ASSERT_TRUE(RemoveLayout());
    winsim::FailCallOn("RegOpenKeyExA", "Keyboard Layout\\Preload", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WriteLayoutLists());
    EXPECT_STREQ("Warnung:\nFehler beim Löschen des Registry-Keys Keyboard Layout - Preload", layouterror);
    EXPECT_EQ((Values{{"1", "00000407"}, {"2", "d0010407"}}), List(HKEY_CURRENT_USER, preloadkey));
    EXPECT_EQ(Values{}, List(HKEY_CURRENT_USER, substituteskey));
}

} // namespace
