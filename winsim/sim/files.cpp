// The volume C: in memory: folders, files, attributes, contents; wildcard search; WOW64
// file-system redirection; deletion at restart.
#include "model.h"
#include <string.h>
#include <algorithm>

namespace winsim {
namespace model {

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool SplitPath(const char *path, std::vector<std::string> &parts, DWORD *error)
{
    parts.clear();
    if (path == nullptr || path[0] == '\0') {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    // The ANSI calls convert the path into a buffer of MAX_PATH characters.
    if (strlen(path) >= MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    std::string text = path;
    std::vector<std::string> raw;
    size_t start = 0;
    if (text.size() >= 2 && text[1] == ':') {
        if (text[0] != 'C' && text[0] != 'c') {
            *error = ERROR_PATH_NOT_FOUND; // no such drive
            return false;
        }
        start = 2; // "C:name" is relative to the drive's current folder: the root here
    } else if (!IsSeparator(text[0])) {
        raw = {"users", "test"}; // relative to the current folder of the process
    }
    std::string current;
    for (size_t i = start; i <= text.size(); i++) {
        if (i == text.size() || IsSeparator(text[i])) {
            if (!current.empty())
                raw.push_back(current);
            current.clear();
        } else {
            current += text[i];
        }
    }
    for (std::string &name : raw) {
        if (name == ".")
            continue;
        if (name == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        // Windows drops trailing dots and spaces of a name: "file." is "file".
        while (!name.empty() && (name.back() == '.' || name.back() == ' '))
            name.pop_back();
        if (name.empty())
            continue;
        for (char c : name)
            if (strchr("<>:\"|?*", c) != nullptr || (unsigned char)c < 0x20) {
                *error = ERROR_INVALID_NAME;
                return false;
            }
        parts.push_back(name);
    }
    return true;
}

std::string JoinPath(const std::vector<std::string> &parts)
{
    std::string out = "C:";
    if (parts.empty())
        return out + "\\";
    for (const std::string &p : parts)
        out += "\\" + p;
    return out;
}

void Redirect(std::vector<std::string> &parts)
{
    State &s = S();
    if (!s.wow64 || s.redirectionOff)
        return;
    if (parts.size() >= 2 && SameNoCase(parts[0], "windows") && SameNoCase(parts[1], "system32"))
        parts[1] = "syswow64";
}

FileEntry *Lookup(const std::vector<std::string> &parts)
{
    FileEntry *entry = &S().volume;
    for (const std::string &name : parts) {
        if (!entry->folder)
            return nullptr;
        auto it = entry->children.find(Fold(name));
        if (it == entry->children.end())
            return nullptr;
        entry = it->second.get();
    }
    return entry;
}

FileEntry *MakeFolders(const std::vector<std::string> &parts)
{
    FileEntry *entry = &S().volume;
    for (const std::string &name : parts) {
        auto &slot = entry->children[Fold(name)];
        if (!slot) {
            slot.reset(new FileEntry());
            slot->name = name;
            slot->folder = true;
            slot->attributes = FILE_ATTRIBUTE_DIRECTORY;
        }
        entry = slot.get();
        if (!entry->folder)
            return nullptr;
    }
    return entry;
}

bool ParsePathForTest(const char *path, std::vector<std::string> &parts)
{
    DWORD error = 0;
    return SplitPath(path, parts, &error);
}

// Where a call lands: the path split and redirected, and the error for a missing folder on the way.
struct Resolved {
    std::vector<std::string> parts;
    std::string text; // the real path
    FileEntry *entry = nullptr;
    FileEntry *parent = nullptr;
    DWORD error = 0; // of SplitPath, or ERROR_PATH_NOT_FOUND when the parent folder is missing
};

static Resolved Resolve(const char *path)
{
    Resolved r;
    if (!SplitPath(path, r.parts, &r.error)) {
        r.text = path != nullptr ? path : "";
        return r;
    }
    Redirect(r.parts);
    r.text = JoinPath(r.parts);
    r.entry = Lookup(r.parts);
    if (!r.parts.empty()) {
        std::vector<std::string> up(r.parts.begin(), r.parts.end() - 1);
        r.parent = Lookup(up);
        if (r.parent == nullptr || !r.parent->folder) {
            r.parent = nullptr;
            r.error = ERROR_PATH_NOT_FOUND;
        }
    }
    return r;
}

static FileEntry *ParentOf(const std::vector<std::string> &parts)
{
    std::vector<std::string> up(parts.begin(), parts.end() - 1);
    return Lookup(up);
}

static bool IsRunningModule(const Resolved &r)
{
    std::vector<std::string> module;
    return ParsePathForTest(S().modulePath.c_str(), module) && !r.parts.empty() &&
           Fold(JoinPath(module)) == Fold(r.text);
}

static DWORD StoredAttributes(DWORD requested, bool folder)
{
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD kept = requested & settable;
    if (folder)
        return kept | FILE_ATTRIBUTE_DIRECTORY;
    // A file without any attribute reads back as FILE_ATTRIBUTE_NORMAL.
    return kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
}

static bool Matches(const char *pattern, const char *name)
{
    if (*pattern == '\0')
        return *name == '\0';
    if (*pattern == '*') {
        for (const char *n = name;; n++) {
            if (Matches(pattern + 1, n))
                return true;
            if (*n == '\0')
                return false;
        }
    }
    if (*name == '\0')
        return false;
    if (*pattern == '?' || Fold(std::string(1, *pattern)) == Fold(std::string(1, *name)))
        return Matches(pattern + 1, name + 1);
    return false;
}

static WIN32_FIND_DATAA Record(const FileEntry &entry, const std::string &name)
{
    WIN32_FIND_DATAA data;
    memset(&data, 0, sizeof data);
    data.dwFileAttributes = entry.attributes;
    data.nFileSizeLow = (DWORD)entry.contents.size();
    strncpy(data.cFileName, name.c_str(), MAX_PATH - 1);
    return data;
}

static BOOL Failed(const std::string &event, DWORD error)
{
    EventFailed(event, error);
    SetError(error);
    return FALSE;
}

} // namespace model
} // namespace winsim

using namespace winsim::model;

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData)
{
    std::string text = lpFileName != nullptr ? lpFileName : "";
    DWORD error = 0;
    if (Injected("FindFirstFileA", text, &error)) {
        SetError(error);
        return INVALID_HANDLE_VALUE;
    }
    // Split off the last name: it may hold wildcards, which SplitPath refuses.
    size_t cut = text.find_last_of("\\/");
    std::string folderText = cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
    std::string pattern = cut == std::string::npos ? text : text.substr(cut + 1);
    if (cut == std::string::npos && text.size() >= 2 && text[1] == ':') {
        folderText = text.substr(0, 2);
        pattern = text.substr(2);
    }
    if (text.empty() || pattern.empty()) {
        SetError(text.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (text.size() >= MAX_PATH) {
        SetError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> parts;
    if (folderText.empty())
        folderText = ".";
    if (!SplitPath(folderText.c_str(), parts, &error)) {
        SetError(error);
        return INVALID_HANDLE_VALUE;
    }
    Redirect(parts);
    FileEntry *folder = Lookup(parts);
    if (folder == nullptr || !folder->folder) {
        SetError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    FindHandle find;
    bool wild = pattern.find_first_of("*?") != std::string::npos;
    if (pattern == ".") {
        // "folder\." finds the folder itself, under the name ".".
        find.entries.push_back(Record(*folder, "."));
    } else if (!wild) {
        std::string name = pattern;
        while (!name.empty() && (name.back() == '.' || name.back() == ' '))
            name.pop_back();
        auto it = folder->children.find(Fold(name));
        if (it != folder->children.end())
            find.entries.push_back(Record(*it->second, it->second->name));
    } else {
        if (pattern == "*.*")
            pattern = "*"; // every name, with or without a dot, as in DOS
        if (!parts.empty()) { // a folder other than the root lists "." and ".." first
            if (Matches(pattern.c_str(), "."))
                find.entries.push_back(Record(*folder, "."));
            if (Matches(pattern.c_str(), "..")) {
                FileEntry *up = ParentOf(parts);
                find.entries.push_back(Record(up != nullptr ? *up : *folder, ".."));
            }
        }
        for (auto &child : folder->children)
            if (Matches(pattern.c_str(), child.second->name.c_str()))
                find.entries.push_back(Record(*child.second, child.second->name));
    }
    if (find.entries.empty()) {
        SetError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (lpFindFileData != nullptr)
        *lpFindFileData = find.entries[0];
    find.next = 1;
    uintptr_t handle = NewHandleValue();
    S().finds[handle] = find;
    return (HANDLE)handle;
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData)
{
    DWORD error = 0;
    if (Injected("FindNextFileA", &error)) {
        SetError(error);
        return FALSE;
    }
    auto it = S().finds.find((uintptr_t)hFindFile);
    if (it == S().finds.end()) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    FindHandle &find = it->second;
    if (find.next >= find.entries.size()) {
        SetError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    if (lpFindFileData != nullptr)
        *lpFindFileData = find.entries[find.next];
    find.next++;
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    DWORD error = 0;
    if (Injected("FindClose", &error)) {
        SetError(error);
        return FALSE;
    }
    if (S().finds.erase((uintptr_t)hFindFile) == 0) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    Resolved r = Resolve(lpFileName);
    DWORD error = 0;
    if (Injected("GetFileAttributesA", r.text, &error)) {
        SetError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (r.entry == nullptr) {
        SetError(r.error != 0 ? r.error : ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return r.entry->attributes;
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes)
{
    Resolved r = Resolve(lpFileName);
    std::string event = "SetFileAttributesA " + r.text + " " + Hex(dwFileAttributes);
    DWORD error = 0;
    if (!Injected("SetFileAttributesA", r.text, &error) && r.entry == nullptr)
        error = r.error != 0 ? r.error : ERROR_FILE_NOT_FOUND;
    if (error != 0)
        return Failed(event, error);
    r.entry->attributes = StoredAttributes(dwFileAttributes, r.entry->folder);
    Event(event);
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    Resolved r = Resolve(lpFileName);
    std::string event = "DeleteFileA " + r.text;
    DWORD error = 0;
    if (!Injected("DeleteFileA", r.text, &error)) {
        if (r.error != 0)
            error = r.error;
        else if (r.entry == nullptr)
            error = ERROR_FILE_NOT_FOUND;
        else if (r.entry->folder || r.parent == nullptr || (r.entry->attributes & FILE_ATTRIBUTE_READONLY) != 0)
            error = ERROR_ACCESS_DENIED;
    }
    if (error != 0)
        return Failed(event, error);
    r.parent->children.erase(Fold(r.parts.back()));
    Event(event);
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName)
{
    Resolved r = Resolve(lpPathName);
    std::string event = "RemoveDirectoryA " + r.text;
    DWORD error = 0;
    if (!Injected("RemoveDirectoryA", r.text, &error)) {
        if (r.error != 0)
            error = r.error;
        else if (r.parts.empty() || r.parent == nullptr)
            error = ERROR_ACCESS_DENIED; // the root
        else if (r.entry == nullptr)
            error = ERROR_FILE_NOT_FOUND;
        else if (!r.entry->folder)
            error = ERROR_DIRECTORY;
        else if (!r.entry->children.empty())
            error = ERROR_DIR_NOT_EMPTY;
        else if ((r.entry->attributes & FILE_ATTRIBUTE_READONLY) != 0)
            error = ERROR_ACCESS_DENIED;
    }
    if (error != 0)
        return Failed(event, error);
    r.parent->children.erase(Fold(r.parts.back()));
    Event(event);
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    Resolved r = Resolve(lpPathName);
    DWORD error = 0;
    if (!Injected("CreateDirectoryA", r.text, &error)) {
        if (r.error != 0)
            error = r.error;
        else if (r.entry != nullptr || r.parts.empty())
            error = ERROR_ALREADY_EXISTS;
    }
    if (error != 0) {
        SetError(error);
        return FALSE;
    }
    MakeFolders(r.parts);
    return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists)
{
    Resolved from = Resolve(lpExistingFileName);
    Resolved to = Resolve(lpNewFileName);
    std::string event = "CopyFileA " + from.text + " -> " + to.text;
    DWORD error = 0;
    if (!Injected("CopyFileA", from.text, &error) && !Injected("CopyFileA", to.text, &error)) {
        if (from.error != 0)
            error = from.error;
        else if (from.entry == nullptr)
            error = ERROR_FILE_NOT_FOUND;
        else if (from.entry->folder)
            error = ERROR_ACCESS_DENIED;
        else if (to.error != 0)
            error = to.error;
        else if (to.parent == nullptr)
            error = ERROR_ACCESS_DENIED;
        else if (to.entry == from.entry)
            error = ERROR_SHARING_VIOLATION; // the source is open for reading
        else if (to.entry != nullptr && bFailIfExists)
            error = ERROR_FILE_EXISTS;
        else if (to.entry != nullptr && to.entry->folder)
            error = ERROR_ACCESS_DENIED;
        else if (to.entry != nullptr && (to.entry->attributes & FILE_ATTRIBUTE_READONLY) != 0)
            error = ERROR_ACCESS_DENIED;
        // Overwriting a hidden or system file with a copy that lacks the attribute is refused.
        else if (to.entry != nullptr &&
                 (to.entry->attributes & ~from.entry->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
            error = ERROR_ACCESS_DENIED;
        else if (to.entry != nullptr && IsRunningModule(to))
            error = ERROR_SHARING_VIOLATION; // the running program's image is open
    }
    if (error != 0)
        return Failed(event, error);
    auto &slot = to.parent->children[Fold(to.parts.back())];
    std::string name = slot ? slot->name : to.parts.back();
    slot.reset(new FileEntry());
    slot->name = name;
    slot->contents = from.entry->contents;
    slot->attributes = from.entry->attributes; // the copy takes the source's attributes
    Event(event);
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    Resolved from = Resolve(lpExistingFileName);
    bool atRestart = (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    std::string event = "MoveFileExA " + from.text;
    if (lpNewFileName != nullptr)
        event += std::string(" -> ") + lpNewFileName;
    if (atRestart)
        event += " delay-until-reboot";
    DWORD error = 0;
    if (!Injected("MoveFileExA", from.text, &error)) {
        if (from.error != 0)
            error = from.error;
        else if (!atRestart && from.entry == nullptr)
            error = ERROR_FILE_NOT_FOUND;
        else if (!atRestart && from.parent == nullptr)
            error = ERROR_ACCESS_DENIED;
    }
    Resolved to;
    if (error == 0 && lpNewFileName != nullptr) {
        to = Resolve(lpNewFileName);
        if (to.error != 0)
            error = to.error;
        else if (to.parent == nullptr)
            error = ERROR_ACCESS_DENIED;
        else if (to.entry != nullptr && (dwFlags & MOVEFILE_REPLACE_EXISTING) == 0)
            error = ERROR_ALREADY_EXISTS;
    }
    if (error != 0)
        return Failed(event, error);
    if (atRestart) {
        // Windows keeps these in PendingFileRenameOperations; nothing moves before the restart.
        if (lpNewFileName == nullptr)
            S().pendingDeletes.push_back(from.text);
        Event(event);
        return TRUE;
    }
    std::unique_ptr<FileEntry> moved = std::move(from.parent->children[Fold(from.parts.back())]);
    from.parent->children.erase(Fold(from.parts.back()));
    moved->name = to.parts.back();
    to.parent->children[Fold(to.parts.back())] = std::move(moved);
    Event(event);
    return TRUE;
}

BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID *OldValue)
{
    State &s = S();
    DWORD error = 0;
    if (!Injected("Wow64DisableWow64FsRedirection", &error) && !s.wow64)
        error = ERROR_INVALID_FUNCTION;
    if (error != 0)
        return Failed("Wow64DisableWow64FsRedirection", error);
    // The old value is the thread's previous setting: 0 while redirection was on.
    if (OldValue != nullptr)
        *OldValue = (PVOID)(uintptr_t)(s.redirectionOff ? 1 : 0);
    s.redirectionOff = true;
    Event("Wow64DisableWow64FsRedirection");
    return TRUE;
}

BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID OlValue)
{
    State &s = S();
    DWORD error = 0;
    if (!Injected("Wow64RevertWow64FsRedirection", &error) && !s.wow64)
        error = ERROR_INVALID_FUNCTION;
    if (error != 0)
        return Failed("Wow64RevertWow64FsRedirection", error);
    s.redirectionOff = OlValue != nullptr;
    Event("Wow64RevertWow64FsRedirection");
    return TRUE;
}

// ---- test control ---------------------------------------------------------------------------

namespace winsim {

void AddFolder(const char *path)
{
    std::vector<std::string> parts;
    if (ParsePathForTest(path, parts))
        MakeFolders(parts);
}

void AddFile(const char *path, const char *contents, DWORD attributes)
{
    std::vector<std::string> parts;
    if (!ParsePathForTest(path, parts) || parts.empty())
        return;
    std::vector<std::string> up(parts.begin(), parts.end() - 1);
    FileEntry *folder = MakeFolders(up);
    if (folder == nullptr)
        return;
    auto &slot = folder->children[Fold(parts.back())];
    slot.reset(new FileEntry());
    slot->name = parts.back();
    slot->contents = contents != nullptr ? contents : "";
    slot->attributes = StoredAttributes(attributes, false);
}

static FileEntry *TestLookup(const char *path)
{
    std::vector<std::string> parts;
    if (!ParsePathForTest(path, parts))
        return nullptr;
    return Lookup(parts);
}

void RemoveFile(const char *path)
{
    std::vector<std::string> parts;
    if (!ParsePathForTest(path, parts) || parts.empty())
        return;
    std::vector<std::string> up(parts.begin(), parts.end() - 1);
    if (FileEntry *folder = Lookup(up))
        folder->children.erase(Fold(parts.back()));
}

bool Exists(const char *path)
{
    return TestLookup(path) != nullptr;
}

DWORD Attributes(const char *path)
{
    FileEntry *entry = TestLookup(path);
    return entry != nullptr ? entry->attributes : INVALID_FILE_ATTRIBUTES;
}

std::string Contents(const char *path)
{
    FileEntry *entry = TestLookup(path);
    return entry != nullptr ? entry->contents : std::string();
}

std::vector<std::string> PendingDeletes()
{
    return S().pendingDeletes;
}

static void Dump(const FileEntry &entry, const std::string &path, std::string &out)
{
    out += path + (entry.folder ? "\\" : "") + " " + Hex(entry.attributes);
    if (!entry.folder)
        out += " [" + entry.contents + "]";
    out += "\n";
    for (auto &child : entry.children)
        Dump(*child.second, path + "\\" + child.second->name, out);
}

std::string FileTreeDump()
{
    std::string out;
    Dump(S().volume, "C:", out);
    return out;
}

} // namespace winsim
