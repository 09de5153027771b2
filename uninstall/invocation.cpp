#include "files/files.h"
#include "frame/app.h"
#include "messages/messages.h"
#include "messages/text.h"
#include "uninstall/uninstall.h"
#include <string.h>

char targetklid[260];

static const char refusal[] = "Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen";

static bool InvocationIsValid()
{
    if (argcount != 1) {
        ShowWarning("Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen (Angabe fehlt)");
        return false;
    }
    CopyText(targetklid, sizeof targetklid, args[0]);
    if (strlen(targetklid) != 8) {
        ShowWarning("%s (Länge nicht 8 Zeichen):\n%s", refusal, targetklid);
        return false;
    }
    if (strncmp(targetklid + 4, "0407", 4) != 0) {
        ShowWarning("%s (endet nicht in \"0407\", also kein deutsches Layout):\n%s", refusal, targetklid);
        return false;
    }
    if (SameTextNoCase(targetklid, "00000407")) {
        ShowWarning("%s (Schlüssel für Standardtastatur: nicht deinstallierbar):\n%s", refusal, targetklid);
        return false;
    }
    return true;
}

bool CheckInvocation()
{
    if (!InvocationIsValid())
        return false;

    ResolveFolders();

    char tempfolder[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, tempfolder);
    tempfolder[MAX_PATH - 1] = '\0';
    AppendSlash(tempfolder);
    char modulepath[MAX_PATH] = {0};
    GetModuleFileNameA(appinstance, modulepath, MAX_PATH);
    modulepath[MAX_PATH - 1] = '\0';

    // Running from the temporary folder (or below it) means this is the copy that may work.
    if (StartsWithNoCase(modulepath, tempfolder)) {
        FormatInto(windowtitle, sizeof windowtitle, "%s V%s - Tastaturtreiber-Deinstallation", modulebasename,
                   productversion);
        return true;
    }

    const char *filename = FileNamePart(modulepath);
    char copypath[MAX_PATH];
    // A copy path that does not fit would name some other file: refuse it like a failed copy.
    bool copied = JoinPath(copypath, sizeof copypath, tempfolder, filename) &&
                  CopyFileReport(modulepath, copypath, true, true);
    if (!copied) {
        ShowWarning("Deinstallationsprogramm kann nicht in ein temporäres Verzeichnis kopiert werden, um sein Original "
                    "löschen zu können");
        RestoreRedirection();
        return false;
    }
    if (!LaunchProcess(copypath, args[0])) {
        ShowWarning("Deinstallationsprogramm kann Kopie im temporären Verzeichnis nicht starten, um sein Original löschen "
                    "zu können");
        RestoreRedirection();
        return false;
    }
    RestoreRedirection();
    return false;
}
