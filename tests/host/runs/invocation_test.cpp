// The first instance: the command-line check, the copy into the temporary folder, the relaunch.
#include "run_support.h"
#include "frame/app.h"

using namespace fixture;

namespace {

const std::string refused = "Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen";

struct Refusal {
    const char *arguments;
    std::string text;
};

void PrintTo(const Refusal &refusal, std::ostream *os) { *os << "arguments:" << refusal.arguments; }

class Refusals : public ::testing::TestWithParam<Refusal> {
protected:
    void SetUp() override { winsim::Reset(); }
};

TEST_P(Refusals, ABadCommandLineGetsOneWarningAndChangesNothing)
{
    InstallLayout();
    std::string registry = winsim::RegDump(), files = winsim::FileTreeDump();
    std::string line = std::string("\"") + installedexe + "\"" + GetParam().arguments;
    EXPECT_EQ(0, Start(line.c_str(), installedexe));
    ASSERT_EQ(1u, winsim::Boxes().size());
    const winsim::Box &box = winsim::Boxes()[0];
    EXPECT_EQ(GetParam().text, box.text);
    EXPECT_EQ("Uninstall_Lorvanis", box.caption);
    EXPECT_EQ(48u, box.style);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(registry, winsim::RegDump());
    EXPECT_EQ(files, winsim::FileTreeDump());
    EXPECT_TRUE(winsim::Launches().empty());
    EXPECT_TRUE(winsim::Windows().empty());
    EXPECT_TRUE(EventsOf("Wow64DisableWow64FsRedirection").empty());
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Refusals,
    ::testing::Values(Refusal{"", refused + " (Angabe fehlt)"}, Refusal{" b0010407 extra", refused + " (Angabe fehlt)"},
                      Refusal{" \"\"", refused + " (Länge nicht 8 Zeichen):\n"},
                      Refusal{" 0407", refused + " (Länge nicht 8 Zeichen):\n0407"},
                      Refusal{" d0010408", refused + " (endet nicht in \"0407\", also kein deutsches Layout):\nd0010408"},
                      Refusal{" 00000407", refused + " (Schlüssel für Standardtastatur: nicht deinstallierbar):\n00000407"},
                      Refusal{" 00000407x", refused + " (Länge nicht 8 Zeichen):\n00000407x"}));

class FirstInstance : public Machine {};

TEST_F(FirstInstance, CopiesItselfIntoTheTempFolderAndStartsTheCopy)
{
    InstallLayout();
    winsim::AddFile(tempcopy, "stale"); // an old copy is replaced
    SetFileAttributesA(installedexe, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    std::string registry = winsim::RegDump();
    EXPECT_EQ(0, Start("\"C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe\" xyzw0407",
                       installedexe));
    EXPECT_TRUE(winsim::Boxes().empty());
    EXPECT_EQ("exe", winsim::Contents(tempcopy));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, winsim::Attributes(tempcopy));
    ASSERT_EQ(1u, winsim::Launches().size());
    const winsim::Launch &launch = winsim::Launches()[0];
    EXPECT_EQ(tempcopy, launch.application);
    EXPECT_EQ(std::string("\"") + tempcopy + "\" xyzw0407", launch.commandLine);
    EXPECT_TRUE(launch.inheritHandles);
    EXPECT_EQ(0u, launch.flags);
    EXPECT_TRUE(launch.environmentNull);
    EXPECT_TRUE(launch.directoryNull);
    EXPECT_TRUE(winsim::Windows().empty()); // the first instance shows no window
    EXPECT_FALSE(winsim::RedirectionOff());
    EXPECT_EQ(registry, winsim::RegDump());
    EXPECT_TRUE(winsim::Exists(installedexe));
    EXPECT_EQ(0, winsim::OpenHandles());
}

TEST_F(FirstInstance, AFailedCopyShowsBothWarnings)
{
    InstallLayout();
    winsim::FailCall("CopyFileA", ERROR_DISK_FULL);
    EXPECT_EQ(0, Start("\"C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe\" b0010407",
                       installedexe));
    ASSERT_EQ(2u, winsim::Boxes().size());
    EXPECT_EQ("Tastaturtreiber-Deinstallation", winsim::Boxes()[0].caption);
    EXPECT_EQ(0u, winsim::Boxes()[0].text.find("Kopieren einer Datei fehlgeschlagen.\n\nQuelle: " + std::string(installedexe) +
                                               "\nZiel: " + tempcopy + "\n\nFehlercode 112"));
    EXPECT_EQ("Deinstallationsprogramm kann nicht in ein temporäres Verzeichnis kopiert werden, um sein Original löschen "
              "zu können",
              winsim::Boxes()[1].text);
    EXPECT_TRUE(winsim::Launches().empty());
    EXPECT_FALSE(winsim::RedirectionOff());
}

TEST_F(FirstInstance, AFailedStartShowsBothWarningsAndLeavesTheCopy)
{
    InstallLayout();
    winsim::FailCall("CreateProcessA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, Start("\"C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe\" b0010407",
                       installedexe));
    ASSERT_EQ(2u, winsim::Boxes().size());
    EXPECT_EQ("Uninstall_Lorvanis", winsim::Boxes()[0].caption);
    EXPECT_EQ(0u, winsim::Boxes()[0].text.find(std::string("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: ") +
                                               tempcopy + "\nAusführen in: <NULL>\nParameter: b0010407\n\nFehlercode 5"));
    EXPECT_STREQ("Aufruf von b0010407 ...", statustext); // the line stays, with the wait cursor
    EXPECT_EQ("IDC_WAIT", winsim::CurrentCursor());
    EXPECT_EQ("Deinstallationsprogramm kann Kopie im temporären Verzeichnis nicht starten, um sein Original löschen zu "
              "können",
              winsim::Boxes()[1].text);
    EXPECT_TRUE(winsim::Exists(tempcopy));
    EXPECT_FALSE(winsim::RedirectionOff());
}

TEST_F(FirstInstance, ACopyPathTooLongForItsBufferIsRefusedLikeAFailedCopy)
{
    std::string deeptemp = "C:\\" + std::string(240, 't') + "\\";
    winsim::AddFolder(deeptemp.c_str());
    winsim::SetTempPath(deeptemp.c_str());
    EXPECT_EQ(0, Start("\"C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe\" b0010407",
                       installedexe));
    ASSERT_EQ(1u, winsim::Boxes().size());
    EXPECT_EQ(0u, winsim::Boxes()[0].text.find("Deinstallationsprogramm kann nicht in ein temporäres Verzeichnis kopiert"));
    EXPECT_TRUE(winsim::Launches().empty());
}

TEST_F(FirstInstance, AProgramBelowTheTempFolderIsTakenForTheCopy)
{
    // Found below the temp folder (any letter case): no relaunch, the uninstall itself starts.
    const char *below = "C:\\USERS\\TEST\\TEMP\\sub\\Uninstall_Lorvanis.exe";
    EXPECT_EQ(0, Start("\"C:\\USERS\\TEST\\TEMP\\sub\\Uninstall_Lorvanis.exe\" b0010407", below));
    EXPECT_TRUE(winsim::Launches().empty());
    ASSERT_EQ(1u, winsim::Windows().size());
    EXPECT_EQ("Uninstall_Lorvanis V3.02 - Tastaturtreiber-Deinstallation", winsim::Windows()[0].title);
}

} // namespace
