#include "files/files.h"
#include "frame/app.h"
#include "layouts/layouts.h"
#include "messages/messages.h"
#include "messages/text.h"
#include "registry/registry.h"
#include "uninstall/uninstall.h"
#include <string.h>

static const char layoutspath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

// The product folder's files, deleted in this order: the uninstaller itself first.
static const char *const productfiles[] = {
    "Uninstall_Lorvanis.exe",
    "Tastaturbelegung Tavik (V3.02) Schaubild.pdf",
    "Tastaturbelegung Tavik (V3.02) Schaubild.ico",
};

static bool Stop()
{
    RestoreRedirection();
    return false;
}

// Checks that the layout on the command line is this product's and may go; nothing changes.
static bool LayoutMayBeRemoved()
{
    if (!ReadLayoutRegistry()) {
        ShowWarning("%s", layouterror); // shown as it stands: a percent sign in it is no placeholder
        return false;
    }
    if (targetindex == -1) {
        ShowWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers wurde nicht gefunden.\nTreiber: %sKey: "
                    "%s\nDLL: %s.DLL",
                    layoutname, targetklid, driverbase);
        return false;
    }
    const char *file = layouts[targetindex].file;
    if (file == nullptr) {
        ShowWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält keine Treiberdatei-Angabe.\n"
                    "Treiber: %sKey: %s\nDLL: %s.DLL",
                    layoutname, targetklid, driverbase);
        return false;
    }
    if (!SameTextNoCase(file, driverfile)) {
        ShowWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält eine andere Treiberdatei-Angabe "
                    "als zum Zeitpunkt der Installation.\nAus Sicherheitsgründen wird daher die Deinstallation jetzt "
                    "nicht durchgeführt.\nTreiber: %sKey: %s\nDLL bei Installation: %s.DLL\nDLL jetzt: %s",
                    layoutname, targetklid, driverbase, file);
        return false;
    }
    if (preloadcount == 1) {
        ShowWarning("In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig "
                    "auswählbare Belegung hinterlegt.\nBitte Wählen Sie dort erst eine andere Tastaturbelegung, bevor Sie "
                    "die hier gewählte deinstallieren.");
        return false;
    }
    return true;
}

// Deletes the driver from the system folder; false when the run must stop with nothing changed.
static bool RemoveDriver()
{
    char driverpath[MAX_PATH];
    bool fits = JoinPath(driverpath, sizeof driverpath, systemdir, driverfile);
    if (fits && !FileExists(driverpath)) {
        return AskYesNo("Problem bei Deinstallation von %s:\nTreiberdatei nicht (mehr) vorhanden:\n  %s\n\nTrotzdem "
                        "fortfahren?",
                        layoutname, driverpath) == IDYES;
    }
    // A driver path too long for its buffer cannot be the installed driver's: stop, as for a
    // driver that cannot be deleted.
    if (!fits || !DeleteFileReport(driverpath, true)) {
        ShowInfo("Fehler bei Deinstallation von %s:\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  %s",
                 layoutname, fits ? driverpath : systemdir);
        return false;
    }
    return true;
}

static void RemoveLayoutKey()
{
    HKEY layoutskey = RegOpenRead(HKEY_LOCAL_MACHINE, layoutspath);
    if (layoutskey == nullptr) {
        ShowWarning("Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\%s", layoutspath);
        return;
    }
    if (!RegDeleteSubtree(layoutskey, targetklid))
        ShowWarning("Warnung:\nFehler beim Löschen des Registry-Keys %s - %s", layoutspath, targetklid);
    RegCloseKey(layoutskey);
}

static void RemoveProductFolder()
{
    char folder[MAX_PATH];
    CopyText(folder, sizeof folder, programfolder);
    AppendSlash(folder);
    size_t files = diagramname[0] != '\0' ? sizeof productfiles / sizeof productfiles[0] : 1;
    for (size_t i = 0; i < files; i++) {
        char path[MAX_PATH];
        bool fits = programfolder[0] != '\0' && JoinPath(path, sizeof path, folder, productfiles[i]);
        if (!fits) {
            ShowInfo("Warnung bei Deinstallation von %s:\nFolgende Hilfsdatei konnte nicht gelöscht werden:\n  %s%s",
                     layoutname, folder, productfiles[i]);
            continue;
        }
        if (FileExists(path) && !DeleteFileReport(path, true))
            ShowInfo("Warnung bei Deinstallation von %s:\nFolgende Hilfsdatei konnte nicht gelöscht werden:\n  %s",
                     layoutname, path);
    }
    if (!RemoveDirReport(programfolder))
        ShowInfo("Warnung bei Deinstallation von %s:\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden "
                 "(möglicherweise ist es nicht leer):\n  %s",
                 layoutname, programfolder);
}

bool RunUninstall()
{
    if (!LayoutMayBeRemoved())
        return Stop();
    if (AskYesNo("Soll folgender Tastatur-Treiber deinstalliert werden?\n\n%s", layoutname) != IDYES) {
        ShowInfo("Deinstallation abgebrochen.");
        return Stop();
    }
    if (!RemoveDriver())
        return Stop();

    // From here on the layout cannot load any more: every problem is a warning and the run goes on.
    if (iswow64) {
        Sleep(100);
        char wow64driver[MAX_PATH];
        if (JoinPath(wow64driver, sizeof wow64driver, systemwow64dir, driverfile) && FileExists(wow64driver))
            DeleteFileA(wow64driver);
    }

    RemoveLayout();
    if (!WriteLayoutLists())
        ShowInfo("Warnung bei Deinstallation von %s:\nProblem bei Registry-Key-Update:\n  %s", layoutname, layouterror);

    RemoveLayoutKey();
    if (diagramname[0] != '\0')
        DeleteShortcut(mainwindow, diagramname);
    RemoveProductFolder();
    WriteUninstallEntry(uninstallentryname);

    ShowInfo("Folgender Tastatur-Treiber wurde deinstalliert:\n%s", layoutname);

    char self[MAX_PATH];
    memset(self, 0, sizeof self);
    GetModuleFileNameA(GetModuleHandleA(nullptr), self, MAX_PATH);
    self[MAX_PATH - 1] = '\0';
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return Stop();
}
