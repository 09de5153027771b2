// The copy in the temporary folder: the whole uninstall as the user and Windows see it.
#include "run_support.h"
#include <ctype.h>
#include <string.h>

using namespace fixture;
using Values = std::vector<Value>;
using Lines = std::vector<std::string>;


namespace {

const std::string layout = "DIN Tavik (Ostrelon 3.02)";
const std::string question = "Soll folgender Tastatur-Treiber deinstalliert werden?\n\n" + layout;
const std::string success = "Folgender Tastatur-Treiber wurde deinstalliert:\n" + layout;
const std::string pdf = "C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Tastaturbelegung Tavik (V3.02) Schaubild.pdf";
const std::string ico = "C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Tastaturbelegung Tavik (V3.02) Schaubild.ico";
const std::string link = "C:\\users\\test\\Desktop\\Tastaturbelegung Tavik (V3.02) Schaubild.LNK";

// The steps that change the machine, in order (reads and the boxes' own events left out).
Lines Trace()
{
    Lines out;
    for (const std::string &e : winsim::Events())
        for (const char *kind : {"DeleteFileA ", "RemoveDirectoryA ", "RegDeleteKeyA ", "RegSetValueExA ", "Sleep ",
                                 "MoveFileExA ", "MessageBoxA ", "paint ", "Wow64"})
            if (e.compare(0, strlen(kind), kind) == 0)
                out.push_back(e);
    return out;
}

void ExpectNothingChanged(const std::string &registry, const std::string &files)
{
    EXPECT_EQ(registry, winsim::RegDump());
    EXPECT_EQ(files, winsim::FileTreeDump());
    EXPECT_TRUE(winsim::PendingDeletes().empty());
    EXPECT_FALSE(winsim::RedirectionOff());
}

// A fresh machine with the layout installed and the copy already in the temporary folder.
void InstallForTheCopy()
{
    winsim::Reset();
    InstallLayout();
    winsim::AddFile(tempcopy, "exe");
}

// Test names from the cases' titles.
template <typename Case> std::string TitleName(const ::testing::TestParamInfo<Case> &info)
{
    std::string name;
    for (const char *p = info.param.title; *p; p++)
        name += isalnum((unsigned char)*p) ? *p : '_';
    return name;
}

class Uninstall : public Machine {
protected:
    void SetUp() override { InstallForTheCopy(); }
};

TEST_F(Uninstall, CompleteRunOn64BitWindows)
{
    winsim::AnswerBoxes({IDYES, IDOK});
    EXPECT_EQ(0, StartCopy());

    ASSERT_EQ(1u, winsim::Windows().size());
    const winsim::WindowInfo &window = winsim::Windows()[0];
    EXPECT_EQ("Uninstall_Lorvanis V3.02 - Tastaturtreiber-Deinstallation", window.title);
    EXPECT_EQ("Uninstall_Lorvanis", window.className);
    EXPECT_EQ(0x06CF0000u, window.style);
    EXPECT_EQ(480, window.width);
    EXPECT_EQ(180, window.height);
    EXPECT_EQ(720, window.x);
    EXPECT_EQ(450, window.y);

    ASSERT_EQ(2u, winsim::Boxes().size());
    EXPECT_EQ(question, winsim::Boxes()[0].text);
    EXPECT_EQ(36u, winsim::Boxes()[0].style);
    EXPECT_EQ(success, winsim::Boxes()[1].text);
    EXPECT_EQ(64u, winsim::Boxes()[1].style);
    for (const winsim::Box &box : winsim::Boxes()) {
        EXPECT_EQ(window.handle, box.owner);
        EXPECT_EQ("Uninstall_Lorvanis", box.caption);
    }
    EXPECT_EQ("Lösche Verzeichnis C:\\Program Files (x86)\\Tavik-Tastaturbelegung ...", winsim::Boxes()[1].statusline);

    EXPECT_EQ((Lines{
                  "Wow64DisableWow64FsRedirection",
                  "paint ",
                  "MessageBoxA Uninstall_Lorvanis",
                  "paint Lösche C:\\windows\\system32\\Lorvanis.DLL ...",
                  "DeleteFileA C:\\windows\\system32\\Lorvanis.DLL",
                  "Sleep 100",
                  "DeleteFileA C:\\windows\\syswow64\\Lorvanis.DLL",
                  "RegDeleteKeyA HKCU\\Keyboard Layout\\Preload",
                  "RegSetValueExA HKCU\\Keyboard Layout\\Preload 1=00000407",
                  "RegDeleteKeyA HKCU\\Keyboard Layout\\Substitutes",
                  "RegDeleteKeyA HKLM\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\b0010407",
                  "DeleteFileA " + link,
                  "paint Lösche " + std::string(installedexe) + " ...",
                  "DeleteFileA " + std::string(installedexe),
                  "paint Lösche " + pdf + " ...",
                  "DeleteFileA " + pdf,
                  "paint Lösche " + ico + " ...",
                  "DeleteFileA " + ico,
                  "paint Lösche Verzeichnis C:\\Program Files (x86)\\Tavik-Tastaturbelegung ...",
                  "RemoveDirectoryA C:\\Program Files (x86)\\Tavik-Tastaturbelegung",
                  "RegDeleteKeyA HKLM\\" + std::string(uninstallentry),
                  "MessageBoxA Uninstall_Lorvanis",
                  "MoveFileExA " + std::string(tempcopy) + " delay-until-reboot",
                  "Wow64RevertWow64FsRedirection",
              }),
              Trace());

    EXPECT_EQ((Values{{"1", "00000407"}}), List(HKEY_CURRENT_USER, preloadkey));
    EXPECT_EQ(Values{}, List(HKEY_CURRENT_USER, substituteskey));
    EXPECT_FALSE(winsim::RegKeyExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts\\b0010407"));
    EXPECT_TRUE(winsim::RegKeyExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts\\00000407"));
    EXPECT_FALSE(winsim::RegKeyExists(HKEY_LOCAL_MACHINE, uninstallentry));
    for (const std::string &gone : {std::string("C:\\windows\\system32\\Lorvanis.DLL"),
                                    std::string("C:\\windows\\syswow64\\Lorvanis.DLL"), std::string(productfolder), link})
        EXPECT_FALSE(winsim::Exists(gone.c_str())) << gone;
    EXPECT_EQ(Lines{tempcopy}, winsim::PendingDeletes());
    EXPECT_TRUE(winsim::Exists(tempcopy));
    EXPECT_EQ("IDC_WAIT", winsim::CurrentCursor());
    EXPECT_FALSE(winsim::RedirectionOff());
    EXPECT_EQ(0, winsim::OpenHandles());
    EXPECT_EQ(0, winsim::LiveGdiObjects());
}

TEST_F(Uninstall, CompleteRunOn32BitWindowsSkipsSysWow64)
{
    winsim::SetWow64(false);
    winsim::AnswerBoxes({IDYES, IDOK});
    EXPECT_EQ(0, StartCopy());
    EXPECT_EQ(success, winsim::Boxes().back().text);
    EXPECT_EQ(0u, winsim::SleptMilliseconds());
    EXPECT_TRUE(EventsOf("Wow64DisableWow64FsRedirection").empty());
    EXPECT_TRUE(winsim::Exists("C:\\windows\\syswow64\\Lorvanis.DLL")); // not this system's folder
    EXPECT_FALSE(winsim::Exists("C:\\windows\\system32\\Lorvanis.DLL"));
}

TEST_F(Uninstall, TheStatusWindowKeepsItsLineAndPaintsBeforeEachStep)
{
    winsim::AnswerBoxes({IDYES, IDOK});
    StartCopy();
    EXPECT_EQ(DT_SINGLELINE | DT_VCENTER | DT_CENTER, winsim::LastDrawFormat());
    EXPECT_EQ(TRANSPARENT, winsim::LastBkMode());
    HWND window = winsim::Windows()[0].handle;
    EXPECT_EQ(1, winsim::Send(window, WM_COMMAND, 2, 0));
    EXPECT_EQ(0, winsim::Send(window, WM_COMMAND, 3, 0));
    EXPECT_EQ(0, winsim::Send(window, WM_QUERYNEWPALETTE, 0, 0)); // 32 bits per pixel: no palette
}

// Every check before the question, and every answer that is not Yes, stops with nothing changed.
struct Stop {
    const char *title;
    void (*arrange)();
    std::vector<int> answers;
    Lines texts;
};

const std::string driverpath = "C:\\windows\\system32\\Lorvanis.DLL";

// Deletes a file where a 64-bit program sees it (the test itself runs as the 32-bit program).
void DeleteNative(const char *path)
{
    winsim::SetWow64(false);
    EXPECT_TRUE(DeleteFileA(path)) << path;
    winsim::SetWow64(true);
}

// Deletes a key without subkeys, as a user or another program might have.
void DeleteKey(HKEY root, const char *parent, const char *name)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, parent, 0, KEY_ALL_ACCESS, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, name));
    RegCloseKey(key);
}

const Stop stops[] = {
    {"lists unreadable", [] { winsim::FailCallOn("RegOpenKeyExA", "Keyboard Layout\\Preload", ERROR_ACCESS_DENIED); },
     {},
     {"Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Preload"}},
    {"layout not installed",
     [] { DeleteKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts", "b0010407"); },
     {},
     {"Der Registry-Key des zu deinstallierenden Tastaturtreibers wurde nicht gefunden.\nTreiber: " + layout +
      "Key: b0010407\nDLL: Lorvanis.DLL"}},
    {"no Layout File",
     [] {
         DeleteKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts", "b0010407");
         AddLayout("b0010407", nullptr);
     },
     {},
     {"Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält keine Treiberdatei-Angabe.\nTreiber: " +
      layout + "Key: b0010407\nDLL: Lorvanis.DLL"}},
    {"another driver",
     [] {
         winsim::RegSetString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts\\b0010407",
                              "Layout File", "C:\\windows\\system32\\Lorvanis.DLL"); // same file, other text
     },
     {},
     {"Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält eine andere Treiberdatei-Angabe als zum "
      "Zeitpunkt der Installation.\nAus Sicherheitsgründen wird daher die Deinstallation jetzt nicht durchgeführt.\n"
      "Treiber: " + layout + "Key: b0010407\nDLL bei Installation: Lorvanis.DLL\nDLL jetzt: C:\\windows\\system32\\Lorvanis.DLL"}},
    {"single Preload entry",
     [] {
         DeleteKey(HKEY_CURRENT_USER, "Keyboard Layout", "Preload");
         winsim::RegSetString(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", "1", "d0010407");
     },
     {},
     {"In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig auswählbare "
      "Belegung hinterlegt.\nBitte Wählen Sie dort erst eine andere Tastaturbelegung, bevor Sie die hier gewählte "
      "deinstallieren."}},
    {"user says No", [] {}, {IDNO, IDOK}, {question, "Deinstallation abgebrochen."}},
    {"driver missing, No",
     [] { DeleteNative("C:\\windows\\system32\\Lorvanis.DLL"); },
     {IDYES, IDNO},
     {question, "Problem bei Deinstallation von " + layout + ":\nTreiberdatei nicht (mehr) vorhanden:\n  " + driverpath +
                    "\n\nTrotzdem fortfahren?"}},
    {"driver cannot be deleted",
     [] { winsim::FailCallOn("DeleteFileA", "system32\\Lorvanis.DLL", ERROR_ACCESS_DENIED); },
     {IDYES, IDOK, IDOK},
     {question, "Folgende Datei kann nicht gelöscht werden:\n" + driverpath + "\n\nFehlercode 5",
      "Fehler bei Deinstallation von " + layout + ":\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  " +
          driverpath}},
};

void PrintTo(const Stop &stop, std::ostream *os) { *os << stop.title; }

class Stops : public ::testing::TestWithParam<Stop> {
protected:
    void SetUp() override { InstallForTheCopy(); }
};

TEST_P(Stops, NothingChangesBeforeTheDriverIsGone)
{
    const Stop &stop = GetParam();
    stop.arrange();
    std::string registry = winsim::RegDump(), files = winsim::FileTreeDump();
    winsim::AnswerBoxes(stop.answers);
    EXPECT_EQ(0, StartCopy());
    Lines texts = BoxTexts();
    ASSERT_EQ(stop.texts.size(), texts.size()) << stop.title;
    for (size_t i = 0; i < texts.size(); i++)
        EXPECT_EQ(0u, texts[i].find(stop.texts[i])) << stop.title << ": " << texts[i];
    ExpectNothingChanged(registry, files);
    EXPECT_EQ(1u, EventsOf("Wow64RevertWow64FsRedirection").size());
}

INSTANTIATE_TEST_SUITE_P(BeforeTheDriver, Stops, ::testing::ValuesIn(stops), TitleName<Stop>);

TEST_F(Uninstall, DriverMissingAndYesGoesOnToTheEnd)
{
    DeleteNative("C:\\windows\\system32\\Lorvanis.DLL");
    winsim::AnswerBoxes({IDYES, IDYES, IDOK});
    StartCopy();
    ASSERT_EQ(3u, winsim::Boxes().size());
    EXPECT_EQ(success, winsim::Boxes()[2].text);
    EXPECT_FALSE(winsim::Exists("C:\\windows\\syswow64\\Lorvanis.DLL"));
    EXPECT_FALSE(winsim::RegKeyExists(HKEY_LOCAL_MACHINE, uninstallentry));
}

// After the driver: every problem is a warning and the run still ends in success.
struct Warning {
    const char *title;
    void (*arrange)();
    Lines texts; // between the question and the success box
};

const Warning warnings[] = {
    {"SysWOW64 copy not deletable",
     [] { winsim::FailCallOn("DeleteFileA", "syswow64\\Lorvanis.DLL", ERROR_ACCESS_DENIED); }, {}},
    {"lists not rewritable",
     [] { winsim::FailCallOn("RegCreateKeyExA", "Keyboard Layout\\Substitutes", ERROR_ACCESS_DENIED); },
     {"Warnung bei Deinstallation von " + layout + ":\nProblem bei Registry-Key-Update:\n  Warnung:\nFehler beim "
      "Wiedererstellen des Registry-Keys Keyboard Layout - Substitutes"}},
    {"Keyboard Layouts not openable",
     // the ninth open: after the three lists were read (five opens) and rewritten (three)
     [] { winsim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, 8, 1); },
     {"Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Keyboard "
      "Layouts"}},
    {"layout key not deletable",
     [] { winsim::RegAddKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts\\b0010407\\locked");
          winsim::FailCallOn("RegOpenKeyExA", "b0010407\\locked", ERROR_ACCESS_DENIED); },
     {"Warnung:\nFehler beim Löschen des Registry-Keys System\\CurrentControlSet\\Control\\Keyboard Layouts - b0010407"}},
    {"shortcut missing", [] { DeleteFileA("C:\\users\\test\\Desktop\\Tastaturbelegung Tavik (V3.02) Schaubild.LNK"); }, {}},
    {"product file not deletable",
     [] { SetFileAttributesA("C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Tastaturbelegung Tavik (V3.02) Schaubild.pdf",
                             FILE_ATTRIBUTE_READONLY); },
     {"Folgende Datei kann nicht gelöscht werden:\n" + pdf,
      "Warnung bei Deinstallation von " + layout + ":\nFolgende Hilfsdatei konnte nicht gelöscht werden:\n  " + pdf,
      "Folgendes Verzeichnis kann nicht gelöscht werden:\nC:\\Program Files (x86)\\Tavik-Tastaturbelegung\n\nFehlercode 145",
      "Warnung bei Deinstallation von " + layout + ":\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden "
      "(möglicherweise ist es nicht leer):\n  C:\\Program Files (x86)\\Tavik-Tastaturbelegung"}},
    {"product folder holds a user file",
     [] { winsim::AddFile("C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\notizen.txt", "mine"); },
     {"Folgendes Verzeichnis kann nicht gelöscht werden:\nC:\\Program Files (x86)\\Tavik-Tastaturbelegung\n\nFehlercode 145",
      "Warnung bei Deinstallation von " + layout + ":\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden "
      "(möglicherweise ist es nicht leer):\n  C:\\Program Files (x86)\\Tavik-Tastaturbelegung"}},
    {"product folder already gone",
     [] { for (const char *f : {"Uninstall_Lorvanis.exe", "Tastaturbelegung Tavik (V3.02) Schaubild.pdf",
                                "Tastaturbelegung Tavik (V3.02) Schaubild.ico"})
              DeleteFileA((std::string("C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\") + f).c_str());
          RemoveDirectoryA("C:\\Program Files (x86)\\Tavik-Tastaturbelegung"); },
     {"Folgendes Verzeichnis kann nicht gelöscht werden:\nC:\\Program Files (x86)\\Tavik-Tastaturbelegung\n\nFehlercode 2",
      "Warnung bei Deinstallation von " + layout + ":\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden"}},
    {"Uninstall entry missing",
     [] { DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", // 32-bit view
                    "Tastaturbelegung DIN Tavik (Ostrelon 3.02)"); },
     {}},
    {"deletion at restart refused", [] { winsim::FailCall("MoveFileExA", ERROR_ACCESS_DENIED); }, {}},
};

void PrintTo(const Warning &warning, std::ostream *os) { *os << warning.title; }

class Warnings : public ::testing::TestWithParam<Warning> {
protected:
    void SetUp() override { InstallForTheCopy(); }
};

TEST_P(Warnings, ProblemsAfterTheDriverAreWarningsAndTheRunEnds)
{
    const Warning &warning = GetParam();
    warning.arrange();
    winsim::AnswerBoxes({IDYES});
    EXPECT_EQ(0, StartCopy());
    Lines texts = BoxTexts();
    ASSERT_EQ(warning.texts.size() + 2, texts.size()) << warning.title;
    EXPECT_EQ(question, texts.front());
    EXPECT_EQ(success, texts.back());
    for (size_t i = 0; i < warning.texts.size(); i++)
        EXPECT_EQ(0u, texts[i + 1].find(warning.texts[i])) << warning.title << ": " << texts[i + 1];
    for (const winsim::Box &box : winsim::Boxes())
        EXPECT_EQ(winsim::Windows()[0].handle, box.owner);
    EXPECT_FALSE(winsim::Exists("C:\\windows\\system32\\Lorvanis.DLL"));
    EXPECT_FALSE(winsim::RegKeyExists(HKEY_LOCAL_MACHINE, uninstallentry));
    EXPECT_FALSE(winsim::RedirectionOff());
}

INSTANTIATE_TEST_SUITE_P(AfterTheDriver, Warnings, ::testing::ValuesIn(warnings), TitleName<Warning>);

} // namespace
