// The process: command line, module, last error, system folders, process launch, handles.
#include "model.h"
#include <shlobj.h>
#include <string.h>

namespace winsim {
namespace model {

static const uintptr_t programModule = 0x00400000;
static const uintptr_t kernel32Module = 0x75000000;
static const uintptr_t user32Module = 0x76000000;

std::string ModulePathResolved()
{
    return S().modulePath;
}

static BOOL WINAPI IsWow64ProcessModel(HANDLE hProcess, PBOOL Wow64Process)
{
    DWORD error = 0;
    if (Injected("IsWow64Process", &error)) {
        SetError(error);
        return FALSE;
    }
    if (hProcess != GetCurrentProcess() && S().processes.count((uintptr_t)hProcess) == 0) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (Wow64Process == nullptr) {
        SetError(ERROR_NOACCESS);
        return FALSE;
    }
    *Wow64Process = S().wow64 ? TRUE : FALSE;
    return TRUE;
}

static BOOL WINAPI SetDefaultDllDirectoriesModel(DWORD DirectoryFlags)
{
    DWORD error = 0;
    if (Injected("SetDefaultDllDirectories", &error)) {
        SetError(error);
        return FALSE;
    }
    const DWORD valid = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                        LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (DirectoryFlags == 0 || (DirectoryFlags & ~valid) != 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

// Copies text the way GetSystemDirectoryA and its kin do: the length without the terminator
// when it fits, else the size needed with it and the buffer untouched.
static UINT CopyOut(const std::string &text, LPSTR buffer, UINT size)
{
    if (buffer == nullptr || size < text.size() + 1)
        return (UINT)text.size() + 1;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return (UINT)text.size();
}

} // namespace model
} // namespace winsim

using namespace winsim::model;

void WINAPI SetLastError(DWORD dwErrCode)
{
    S().lastError = dwErrCode;
}

DWORD WINAPI GetLastError(void)
{
    return S().lastError;
}

LPWSTR WINAPI GetCommandLineW(void)
{
    return &S().commandLine[0];
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    DWORD error = 0;
    if (Injected("GetModuleHandleA", lpModuleName != nullptr ? lpModuleName : "", &error)) {
        SetError(error);
        return nullptr;
    }
    if (lpModuleName == nullptr)
        return (HMODULE)programModule;
    std::string name = lpModuleName;
    if (SameNoCase(name, "kernel32") || SameNoCase(name, "kernel32.dll"))
        return (HMODULE)kernel32Module;
    if (SameNoCase(name, "user32") || SameNoCase(name, "user32.dll"))
        return (HMODULE)user32Module;
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    DWORD error = 0;
    if (Injected("GetProcAddress", lpProcName != nullptr && !IS_INTRESOURCE(lpProcName) ? lpProcName : "", &error)) {
        SetError(error);
        return nullptr;
    }
    if ((uintptr_t)hModule == kernel32Module && lpProcName != nullptr && !IS_INTRESOURCE(lpProcName)) {
        // Exported names are case-sensitive.
        if (strcmp(lpProcName, "IsWow64Process") == 0 && S().hasIsWow64Process)
            return (FARPROC)(void *)IsWow64ProcessModel;
        if (strcmp(lpProcName, "SetDefaultDllDirectories") == 0)
            return (FARPROC)(void *)SetDefaultDllDirectoriesModel;
    }
    if ((uintptr_t)hModule != kernel32Module && (uintptr_t)hModule != user32Module &&
        (uintptr_t)hModule != programModule) {
        SetError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HANDLE WINAPI GetCurrentProcess(void)
{
    return (HANDLE)(LONG_PTR)-1; // the pseudo handle
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    const std::string &path = S().modulePath;
    DWORD error = 0;
    if (Injected("GetModuleFileNameA", path, &error)) {
        SetError(error);
        return 0;
    }
    if (hModule != nullptr && (uintptr_t)hModule != programModule) {
        SetError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (nSize == 0) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() + 1 > nSize) {
        // Since Vista: nSize - 1 characters and the terminator, nSize returned, error 122.
        memcpy(lpFilename, path.data(), nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    memcpy(lpFilename, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    DWORD error = 0;
    if (Injected("GetTempPathA", S().tempPath, &error)) {
        SetError(error);
        return 0;
    }
    return CopyOut(S().tempPath, lpBuffer, nBufferLength);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    DWORD error = 0;
    if (Injected("GetSystemDirectoryA", &error)) {
        SetError(error);
        return 0;
    }
    return CopyOut("C:\\windows\\system32", lpBuffer, uSize);
}

UINT WINAPI GetSystemWow64DirectoryA(LPSTR lpBuffer, UINT uSize)
{
    DWORD error = 0;
    if (!Injected("GetSystemWow64DirectoryA", &error) && !S().wow64)
        error = ERROR_CALL_NOT_IMPLEMENTED; // 32-bit Windows has no such folder
    if (error != 0) {
        SetError(error);
        return 0;
    }
    return CopyOut("C:\\windows\\syswow64", lpBuffer, uSize);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    DWORD error = 0;
    if (Injected("GetWindowsDirectoryA", &error)) {
        SetError(error);
        return 0;
    }
    return CopyOut("C:\\windows", lpBuffer, uSize);
}

BOOL WINAPI SetDllDirectoryA(LPCSTR lpPathName)
{
    DWORD error = 0;
    if (Injected("SetDllDirectoryA", lpPathName != nullptr ? lpPathName : "", &error)) {
        SetError(error);
        return FALSE;
    }
    return TRUE;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    S().slept += dwMilliseconds;
    Event("Sleep " + std::to_string(dwMilliseconds));
}

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                           LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation)
{
    std::string line = lpCommandLine != nullptr ? lpCommandLine : (lpApplicationName != nullptr ? lpApplicationName : "");
    std::string event = "CreateProcessA " + line;
    std::string application;
    if (lpApplicationName != nullptr) {
        application = lpApplicationName;
    } else {
        // Without an application name the first token of the command line names the program.
        size_t i = 0;
        if (!line.empty() && line[0] == '"') {
            size_t end = line.find('"', 1);
            application = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        } else {
            while (i < line.size() && line[i] != ' ')
                i++;
            application = line.substr(0, i);
        }
    }
    std::vector<std::string> parts;
    DWORD error = 0;
    std::string resolved = application;
    if (!Injected("CreateProcessA", application, &error)) {
        if (lpStartupInfo == nullptr || lpProcessInformation == nullptr)
            error = ERROR_NOACCESS;
        else if (!SplitPath(application.c_str(), parts, &error)) {
        } else {
            Redirect(parts);
            resolved = JoinPath(parts);
            FileEntry *entry = Lookup(parts);
            std::vector<std::string> up(parts.begin(), parts.end() - (parts.empty() ? 0 : 1));
            FileEntry *folder = Lookup(up);
            if (entry == nullptr)
                error = folder != nullptr && folder->folder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
            else if (entry->folder)
                error = ERROR_ACCESS_DENIED;
        }
        if (error == 0 && lpCurrentDirectory != nullptr) {
            std::vector<std::string> dir;
            DWORD dirError = 0;
            FileEntry *folder = SplitPath(lpCurrentDirectory, dir, &dirError) ? Lookup(dir) : nullptr;
            if (folder == nullptr || !folder->folder)
                error = ERROR_DIRECTORY;
        }
    }
    if (error != 0) {
        EventFailed(event, error);
        SetError(error);
        return FALSE;
    }
    winsim::Launch launch;
    launch.application = application;
    launch.commandLine = line;
    launch.inheritHandles = bInheritHandles;
    launch.flags = dwCreationFlags;
    launch.environmentNull = lpEnvironment == nullptr;
    launch.directoryNull = lpCurrentDirectory == nullptr;
    launch.startupSize = lpStartupInfo->cb;
    S().launches.push_back(launch);
    uintptr_t process = NewHandleValue(), thread = NewHandleValue();
    S().processes.insert(process);
    S().threads.insert(thread);
    lpProcessInformation->hProcess = (HANDLE)process;
    lpProcessInformation->hThread = (HANDLE)thread;
    lpProcessInformation->dwProcessId = (DWORD)(process & 0xFFFF);
    lpProcessInformation->dwThreadId = (DWORD)(thread & 0xFFFF);
    Event(event);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    DWORD error = 0;
    if (Injected("CloseHandle", &error)) {
        SetError(error);
        return FALSE;
    }
    uintptr_t h = (uintptr_t)hObject;
    if (S().processes.erase(h) != 0 || S().threads.erase(h) != 0)
        return TRUE;
    if (hObject == GetCurrentProcess())
        return TRUE; // closing the pseudo handle does nothing
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
}

HRESULT WINAPI SHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR pszPath)
{
    std::string path;
    switch (csidl & ~CSIDL_FLAG_MASK) {
    case CSIDL_PROGRAM_FILES:
        // A 32-bit program on 64-bit Windows is given the folder for 32-bit programs.
        path = S().wow64 ? "C:\\Program Files (x86)" : "C:\\Program Files";
        break;
    case CSIDL_PROGRAM_FILESX86:
        path = S().wow64 ? "C:\\Program Files (x86)" : "C:\\Program Files";
        break;
    case CSIDL_DESKTOPDIRECTORY:
        path = "C:\\users\\test\\Desktop";
        break;
    case CSIDL_WINDOWS:
        path = "C:\\windows";
        break;
    case CSIDL_SYSTEM:
        path = S().wow64 ? "C:\\windows\\syswow64" : "C:\\windows\\system32";
        break;
    default:
        return E_INVALIDARG;
    }
    DWORD error = 0;
    if (Injected("SHGetFolderPathA", path, &error)) {
        if (pszPath != nullptr)
            pszPath[0] = '\0';
        return (error & 0x80000000u) != 0 ? (HRESULT)error : HRESULT_FROM_WIN32(error);
    }
    if (pszPath == nullptr)
        return E_INVALIDARG;
    std::vector<std::string> parts;
    if (ParsePathForTest(path.c_str(), parts) && Lookup(parts) == nullptr &&
        (csidl & CSIDL_FLAG_CREATE) == 0) {
        // The ANSI function reports a folder that does not exist with S_FALSE, a success code.
        pszPath[0] = '\0';
        return S_FALSE;
    }
    if ((csidl & CSIDL_FLAG_CREATE) != 0)
        MakeFolders(parts);
    memcpy(pszPath, path.c_str(), path.size() + 1);
    return S_OK;
}
