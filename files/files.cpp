#include "files/files.h"
#include "frame/app.h"
#include "messages/messages.h"
#include "messages/text.h"
#include <string.h>

WIN32_FIND_DATAA findrecord;

static const char reportcaption[] = "Tastaturtreiber-Deinstallation";

bool FileExists(const char *path)
{
    errortext[0] = '\0';
    HANDLE search = FindFirstFileA(path, &findrecord);
    if (search == INVALID_HANDLE_VALUE) {
        CaptureLastError();
        return false;
    }
    size_t length = strlen(path);
    // "folder\." finds the folder itself as its first entry.
    bool found = length > 0 && path[length - 1] == '.';
    while (!found) {
        if (strcmp(findrecord.cFileName, ".") != 0 && strcmp(findrecord.cFileName, "..") != 0)
            found = true;
        else if (!FindNextFileA(search, &findrecord))
            break;
    }
    FindClose(search);
    return found;
}

char *AppendSlash(char *path, size_t capacity)
{
    size_t length = BoundedLength(path, capacity);
    if (length == 0)
        CopyText(path, capacity, "\\");
    else if (path[length - 1] != '\\' && path[length - 1] != '/')
        AppendText(path, capacity, "\\");
    return path;
}

bool JoinPath(char *dest, size_t capacity, const char *folder, const char *name)
{
    if (CopyText(dest, capacity, folder) && AppendText(dest, capacity, name))
        return true;
    dest[0] = '\0';
    return false;
}

bool CopyFileReport(const char *source, const char *destination, bool showerror, bool overwrite)
{
    if (CopyFileA(source, destination, overwrite ? FALSE : TRUE)) {
        // The copy must be deletable later: drop read-only, hidden and system from the source.
        SetFileAttributesA(destination, FILE_ATTRIBUTE_ARCHIVE);
        return true;
    }
    CaptureLastError();
    if (showerror)
        ShowWarningTitled(reportcaption, "Kopieren einer Datei fehlgeschlagen.\n\nQuelle: %s\nZiel: %s\n\n%s", source,
                          destination, errortext);
    return false;
}

bool DeleteFileReport(const char *path, bool showerror)
{
    if (!FileExists(path))
        return true;
    SetStatus("Lösche %s ...", path);
    if (DeleteFileA(path))
        return true;
    if (showerror) {
        CaptureLastError();
        ShowWarningTitled(reportcaption, "Folgende Datei kann nicht gelöscht werden:\n%s\n\n%s", path, errortext);
    }
    return false;
}

bool RemoveDirReport(const char *path)
{
    SetStatus("Lösche Verzeichnis %s ...", path);
    if (RemoveDirectoryA(path))
        return true;
    CaptureLastError();
    ShowWarningTitled(reportcaption, "Folgendes Verzeichnis kann nicht gelöscht werden:\n%s\n\n%s", path, errortext);
    return false;
}
