// File lookup, removal and copy; system and product folders; WOW64 redirection; shortcuts.
#pragma once
#include <windows.h>
#include <stddef.h>

extern WIN32_FIND_DATAA findrecord;
extern char systemdir[MAX_PATH];
extern char systemwow64dir[MAX_PATH];
extern char programfolder[MAX_PATH];
extern PVOID redirectionstate;

bool FileExists(const char *path);
// Makes a folder path end in a backslash; a path that has no room left stays as it is.
char *AppendSlash(char *path, size_t capacity = MAX_PATH);
// Builds folder + name into dest; false (and dest empty) when the result does not fit.
bool JoinPath(char *dest, size_t capacity, const char *folder, const char *name);
bool CopyFileReport(const char *source, const char *destination, bool showerror, bool overwrite);
bool DeleteFileReport(const char *path, bool showerror);
bool RemoveDirReport(const char *path);

void ResolveFolders();
void RestoreRedirection();
bool SpecialFolderPath(char *dest, int csidl, HWND owner);
bool DeleteShortcut(HWND owner, const char *name);
