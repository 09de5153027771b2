// File lookup, removal and copy, and the folders the uninstall works in.
#include "support.h"
#include "files/files.h"
#include "frame/app.h"
#include "messages/messages.h"
#include <string.h>

using fixture::Machine;

namespace {

constexpr const char *caption = "Tastaturtreiber-Deinstallation";

TEST_F(Machine, FileExistsFindsFilesAndFoldersButNotDotEntries)
{
    winsim::AddFile("C:\\data\\file.txt");
    winsim::AddFolder("C:\\data\\empty");
    EXPECT_TRUE(FileExists("C:\\data\\file.txt"));
    EXPECT_TRUE(FileExists("C:\\data\\empty"));
    EXPECT_TRUE(FileExists("C:\\data\\empty\\."));
    EXPECT_FALSE(FileExists("C:\\data\\empty\\*"));
    EXPECT_STREQ("", errortext); // only "." and ".." were found: no error
    EXPECT_FALSE(FileExists("C:\\data\\missing.txt"));
    EXPECT_EQ(0, strncmp(errortext, "Fehlercode 2", 12)) << errortext;
    EXPECT_FALSE(FileExists("C:\\nowhere\\."));
    EXPECT_EQ(0, strncmp(errortext, "Fehlercode 3", 12)) << errortext;
    EXPECT_EQ(0, winsim::OpenHandles());
}

TEST_F(Machine, AppendSlashEndsAFolderPathInOneSeparator)
{
    struct Case {
        const char *in, *out;
    } cases[] = {{"", "\\"}, {"C:\\Temp", "C:\\Temp\\"}, {"C:\\Temp\\", "C:\\Temp\\"}, {"C:\\Temp/", "C:\\Temp/"}};
    for (const Case &c : cases) {
        char path[MAX_PATH];
        strcpy(path, c.in);
        EXPECT_STREQ(c.out, AppendSlash(path)) << c.in;
    }
    char full[MAX_PATH];
    memset(full, 'a', sizeof full);
    full[MAX_PATH - 1] = '\0';
    AppendSlash(full); // no room: stays as it is, terminated
    EXPECT_EQ(MAX_PATH - 1, strlen(full));
}

TEST_F(Machine, DeleteFileReportShowsWhatItDoesAndWhatFails)
{
    winsim::AddFile("C:\\p\\gone.txt");
    winsim::AddFile("C:\\p\\locked.txt", "", FILE_ATTRIBUTE_READONLY);
    winsim::AddFolder("C:\\p\\folder");
    winsim::SetErrorText(5, "Zugriff verweigert\r\n");

    EXPECT_TRUE(DeleteFileReport("C:\\p\\missing.txt", true));
    EXPECT_STREQ("", statustext); // nothing there: no status line, no box
    EXPECT_TRUE(DeleteFileReport("C:\\p\\gone.txt", true));
    EXPECT_FALSE(winsim::Exists("C:\\p\\gone.txt"));
    EXPECT_STREQ("Lösche C:\\p\\gone.txt ...", statustext);
    EXPECT_TRUE(winsim::Boxes().empty());

    EXPECT_FALSE(DeleteFileReport("C:\\p\\locked.txt", true));
    EXPECT_TRUE(winsim::Exists("C:\\p\\locked.txt"));
    EXPECT_FALSE(DeleteFileReport("C:\\p\\folder", true)); // found like a file, refused by DeleteFileA
    EXPECT_FALSE(DeleteFileReport("C:\\p\\locked.txt", false));
    ASSERT_EQ(2u, winsim::Boxes().size()); // the silent call shows nothing
    EXPECT_EQ(caption, winsim::Boxes()[0].caption);
    EXPECT_EQ(48u, winsim::Boxes()[0].style);
    EXPECT_EQ("Folgende Datei kann nicht gelöscht werden:\nC:\\p\\locked.txt\n\nFehlercode 5:\nZugriff verweigert\r\n",
              winsim::Boxes()[0].text);
    EXPECT_EQ(0, winsim::Boxes()[1].text.find("Folgende Datei kann nicht gelöscht werden:\nC:\\p\\folder\n\nFehlercode 5"));
}

TEST_F(Machine, RemoveDirReportRemovesOnlyEmptyFolders)
{
    winsim::AddFile("C:\\p\\full\\keep.txt");
    winsim::AddFolder("C:\\p\\empty");
    EXPECT_TRUE(RemoveDirReport("C:\\p\\empty"));
    EXPECT_FALSE(winsim::Exists("C:\\p\\empty"));
    EXPECT_STREQ("Lösche Verzeichnis C:\\p\\empty ...", statustext);
    EXPECT_FALSE(RemoveDirReport("C:\\p\\full"));
    EXPECT_TRUE(winsim::Exists("C:\\p\\full\\keep.txt"));
    ASSERT_EQ(1u, winsim::Boxes().size());
    EXPECT_EQ(caption, winsim::Boxes()[0].caption);
    EXPECT_EQ(0, winsim::Boxes()[0].text.find("Folgendes Verzeichnis kann nicht gelöscht werden:\nC:\\p\\full\n\nFehlercode 145"))
        << winsim::Boxes()[0].text;
}

TEST_F(Machine, CopyFileReportOverwritesOnlyWhenAskedAndClearsAttributes)
{
    winsim::AddFile("C:\\s\\prog.exe", "new", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    winsim::AddFile("C:\\d\\prog.exe", "old");
    EXPECT_FALSE(CopyFileReport("C:\\s\\prog.exe", "C:\\d\\prog.exe", true, false));
    EXPECT_EQ("old", winsim::Contents("C:\\d\\prog.exe"));
    ASSERT_EQ(1u, winsim::Boxes().size());
    EXPECT_EQ(caption, winsim::Boxes()[0].caption);
    EXPECT_EQ(0, winsim::Boxes()[0].text.find("Kopieren einer Datei fehlgeschlagen.\n\nQuelle: C:\\s\\prog.exe\nZiel: "
                                               "C:\\d\\prog.exe\n\nFehlercode 80"))
        << winsim::Boxes()[0].text;

    EXPECT_TRUE(CopyFileReport("C:\\s\\prog.exe", "C:\\d\\prog.exe", true, true));
    EXPECT_EQ("new", winsim::Contents("C:\\d\\prog.exe"));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, winsim::Attributes("C:\\d\\prog.exe"));
    EXPECT_EQ(1u, winsim::Boxes().size());
}

TEST_F(Machine, FoldersOn64BitWindowsSwitchRedirectionOffAndBack)
{
    iswow64 = true;
    ResolveFolders();
    EXPECT_STREQ("C:\\windows\\system32\\", systemdir);
    EXPECT_STREQ("C:\\windows\\syswow64\\", systemwow64dir);
    EXPECT_STREQ("C:\\Program Files (x86)\\Tavik-Tastaturbelegung", programfolder);
    EXPECT_TRUE(winsim::RedirectionOff());
    // With redirection off, system32 is the native folder.
    winsim::AddFile("C:\\windows\\system32\\Lorvanis.DLL");
    EXPECT_TRUE(FileExists("C:\\windows\\system32\\Lorvanis.DLL"));
    EXPECT_TRUE(winsim::Exists("C:\\windows\\system32\\Lorvanis.DLL"));
    RestoreRedirection();
    EXPECT_FALSE(winsim::RedirectionOff());
    RestoreRedirection(); // again: hands back the same saved state
    EXPECT_FALSE(winsim::RedirectionOff());
    EXPECT_EQ(3u, fixture::EventsOf("Wow64RevertWow64FsRedirection").size() +
                      fixture::EventsOf("Wow64DisableWow64FsRedirection").size());
}

TEST_F(Machine, FoldersOn32BitWindowsLeaveRedirectionAlone)
{
    winsim::SetWow64(false);
    iswow64 = false;
    ResolveFolders();
    RestoreRedirection();
    EXPECT_STREQ("C:\\windows\\system32\\", systemdir);
    EXPECT_STREQ("", systemwow64dir);
    EXPECT_STREQ("C:\\Program Files\\Tavik-Tastaturbelegung", programfolder);
    EXPECT_TRUE(fixture::EventsOf("Wow64DisableWow64FsRedirection").empty());
    EXPECT_TRUE(fixture::EventsOf("Wow64RevertWow64FsRedirection").empty());
}

TEST_F(Machine, WithoutTheShellFolderTheProductFolderLiesInTheWindowsFolder)
{
    winsim::FailCall("SHGetFolderPathA", ERROR_FILE_NOT_FOUND);
    ResolveFolders();
    EXPECT_STREQ("C:\\windows\\Programme\\Tavik-Tastaturbelegung", programfolder);
}

TEST_F(Machine, AProgramFilesFolderTheShellCannotFindAlsoFallsBack)
{
    winsim::RemoveFile("C:\\Program Files (x86)"); // the shell then answers S_FALSE with no path
    iswow64 = true;
    ResolveFolders();
    RestoreRedirection();
    EXPECT_STREQ("C:\\windows\\Programme\\Tavik-Tastaturbelegung", programfolder);
}

TEST_F(Machine, DeleteShortcutRemovesTheDesktopLinkOnly)
{
    const char *link = "C:\\users\\test\\Desktop\\Tastaturbelegung Tavik (V3.02) Schaubild.LNK";
    winsim::AddFile(link);
    winsim::AddFile("C:\\users\\test\\Desktop\\Tastaturbelegung Tavik (V3.02) Schaubild.pdf");
    EXPECT_TRUE(DeleteShortcut(nullptr, "Tastaturbelegung Tavik (V3.02) Schaubild"));
    EXPECT_FALSE(winsim::Exists(link));
    EXPECT_TRUE(winsim::Exists("C:\\users\\test\\Desktop\\Tastaturbelegung Tavik (V3.02) Schaubild.pdf"));
    EXPECT_FALSE(DeleteShortcut(nullptr, "Tastaturbelegung Tavik (V3.02) Schaubild"));
    EXPECT_TRUE(winsim::Boxes().empty());
    EXPECT_STREQ("", statustext);
}

} // namespace
