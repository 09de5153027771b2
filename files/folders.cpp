#include "files/files.h"
#include "frame/app.h"
#include "messages/text.h"
#include <shlobj.h>
#include <string.h>

char systemdir[MAX_PATH];
char systemwow64dir[MAX_PATH];
char programfolder[MAX_PATH];
PVOID redirectionstate;

static const char productfoldername[] = "Tavik-Tastaturbelegung";

void ResolveFolders()
{
    if (iswow64) {
        // A 32-bit process on 64-bit Windows would otherwise see SysWOW64 under the name system32.
        redirectionstate = nullptr;
        Wow64DisableWow64FsRedirection(&redirectionstate);
    }
    memset(systemdir, 0, sizeof systemdir);
    GetSystemDirectoryA(systemdir, MAX_PATH);
    AppendSlash(systemdir);
    if (iswow64) {
        memset(systemwow64dir, 0, sizeof systemwow64dir);
        GetSystemWow64DirectoryA(systemwow64dir, MAX_PATH);
        AppendSlash(systemwow64dir);
    }
    if (!SpecialFolderPath(programfolder, CSIDL_PROGRAM_FILES, mainwindow)) {
        memset(programfolder, 0, sizeof programfolder);
        GetWindowsDirectoryA(programfolder, MAX_PATH);
        AppendSlash(programfolder);
        AppendText(programfolder, sizeof programfolder, "Programme");
    }
    AppendSlash(programfolder);
    // A cut name could address some other folder: a product folder that does not fit stays empty.
    if (!AppendText(programfolder, sizeof programfolder, productfoldername))
        programfolder[0] = '\0';
}

void RestoreRedirection()
{
    if (iswow64)
        Wow64RevertWow64FsRedirection(redirectionstate);
}

bool SpecialFolderPath(char *dest, int csidl, HWND owner)
{
    dest[0] = '\0';
    // The shell writes at most MAX_PATH characters; dest holds at least that many. S_FALSE
    // (a folder that does not exist) also counts as success there, with an empty path.
    if (SHGetFolderPathA(owner, csidl, nullptr, SHGFP_TYPE_CURRENT, dest) == S_OK && dest[0] != '\0')
        return true;
    dest[0] = '\0';
    return false;
}

bool DeleteShortcut(HWND owner, const char *name)
{
    char path[MAX_PATH + 1];
    memset(path, 0, sizeof path);
    if (!SpecialFolderPath(path, CSIDL_DESKTOPDIRECTORY, owner))
        return false;
    AppendSlash(path, sizeof path);
    // A desktop path too long for the name is refused rather than cut into another file's name.
    if (!AppendText(path, sizeof path, name) || !AppendText(path, sizeof path, ".LNK"))
        return false;
    return DeleteFileA(path) != FALSE;
}
