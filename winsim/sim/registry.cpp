// The registry: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, the 32-bit view of HKLM\SOFTWARE
// for a WOW64 process, handles with their granted access.
#include "model.h"
#include <string.h>

namespace winsim {
namespace model {

std::shared_ptr<RegNode> &RootNode(HKEY root)
{
    return root == HKEY_CURRENT_USER ? S().hkcu : S().hklm;
}

std::vector<std::string> SplitKeyPath(const std::string &path)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

std::shared_ptr<RegNode> EnsureKey(std::shared_ptr<RegNode> node, const std::string &path)
{
    for (const std::string &name : SplitKeyPath(path)) {
        auto &slot = node->children[Fold(name)];
        if (!slot) {
            slot = std::make_shared<RegNode>();
            slot->name = name;
        }
        node = slot;
    }
    return node;
}

std::shared_ptr<RegNode> FindKey(std::shared_ptr<RegNode> node, const std::string &path)
{
    for (const std::string &name : SplitKeyPath(path)) {
        auto it = node->children.find(Fold(name));
        if (it == node->children.end())
            return nullptr;
        node = it->second;
    }
    return node;
}

static bool IsRoot(HKEY key)
{
    return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// A key the program addresses: the handle it starts from, and the real path it reaches.
struct Target {
    LSTATUS status = ERROR_SUCCESS;
    std::shared_ptr<RegNode> root;    // tree root
    std::vector<std::string> parts;   // real path below the root, names as written by the caller
    std::string rootName;             // "HKCU" or "HKLM"
    std::shared_ptr<RegNode> base;    // node of the handle
    std::vector<std::string> baseParts;
    REGSAM baseAccess = KEY_ALL_ACCESS;
};

static std::string PathText(const std::string &rootName, const std::vector<std::string> &parts)
{
    std::string out = rootName;
    for (const std::string &p : parts)
        out += "\\" + p;
    return out;
}

static Target TargetOf(HKEY key, const char *subkey, REGSAM sam)
{
    Target t;
    State &s = S();
    if (IsRoot(key)) {
        t.root = RootNode(key);
        t.rootName = key == HKEY_CURRENT_USER ? "HKCU" : "HKLM";
        t.base = t.root;
    } else {
        auto it = s.keys.find((uintptr_t)key);
        if (it == s.keys.end()) {
            t.status = ERROR_INVALID_HANDLE;
            return t;
        }
        if (it->second.node->deleted) {
            t.status = ERROR_KEY_DELETED;
            return t;
        }
        std::vector<std::string> all = SplitKeyPath(it->second.path);
        t.rootName = all[0];
        t.root = t.rootName == "HKCU" ? s.hkcu : s.hklm;
        t.baseParts.assign(all.begin() + 1, all.end());
        t.base = it->second.node;
        t.baseAccess = it->second.access;
    }
    t.parts = t.baseParts;
    for (const std::string &p : SplitKeyPath(subkey != nullptr ? subkey : ""))
        t.parts.push_back(p);
    // The 32-bit view: a WOW64 process that asks for HKLM\SOFTWARE\... reaches
    // HKLM\SOFTWARE\Wow6432Node\... unless it asks for the 64-bit view.
    bool view32 = s.wow64 ? (sam & KEY_WOW64_64KEY) == 0 : (sam & KEY_WOW64_32KEY) != 0;
    if (view32 && t.rootName == "HKLM" && !t.parts.empty() && SameNoCase(t.parts[0], "SOFTWARE") &&
        (t.parts.size() == 1 || !SameNoCase(t.parts[1], "Wow6432Node")) && t.baseParts.empty())
        t.parts.insert(t.parts.begin() + 1, "Wow6432Node");
    return t;
}

static std::shared_ptr<RegNode> NodeAt(const Target &t)
{
    std::shared_ptr<RegNode> node = t.root;
    for (const std::string &name : t.parts) {
        auto it = node->children.find(Fold(name));
        if (it == node->children.end())
            return nullptr;
        node = it->second;
    }
    return node;
}

static HKEY NewKeyHandle(std::shared_ptr<RegNode> node, const std::string &path, REGSAM access)
{
    uintptr_t handle = NewHandleValue();
    S().keys[handle] = KeyHandle{node, path, access};
    return (HKEY)handle;
}

// The handle's key, or the status to return.
static KeyHandle *HandleOf(HKEY key, LSTATUS *status, KeyHandle &rootHandle)
{
    if (IsRoot(key)) {
        rootHandle = KeyHandle{RootNode(key), key == HKEY_CURRENT_USER ? "HKCU" : "HKLM", KEY_ALL_ACCESS};
        return &rootHandle;
    }
    auto it = S().keys.find((uintptr_t)key);
    if (it == S().keys.end()) {
        *status = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (it->second.node->deleted) {
        *status = ERROR_KEY_DELETED;
        return nullptr;
    }
    return &it->second;
}

static void MarkDeleted(RegNode &node)
{
    node.deleted = true;
    for (auto &child : node.children)
        MarkDeleted(*child.second);
}

static std::string TextOf(const std::string &bytes)
{
    size_t nul = bytes.find('\0');
    return nul == std::string::npos ? bytes : bytes.substr(0, nul);
}

} // namespace model
} // namespace winsim

using namespace winsim::model;

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    Target t = TargetOf(hKey, lpSubKey, samDesired);
    if (t.status != ERROR_SUCCESS)
        return t.status;
    std::string path = PathText(t.rootName, t.parts);
    DWORD error = 0;
    if (Injected("RegOpenKeyExA", path, &error))
        return (LSTATUS)error;
    std::shared_ptr<RegNode> node = NodeAt(t);
    if (node == nullptr)
        return ERROR_FILE_NOT_FOUND;
    *phkResult = NewKeyHandle(node, path, samDesired);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                               const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    Target t = TargetOf(hKey, lpSubKey, samDesired);
    if (t.status != ERROR_SUCCESS)
        return t.status;
    std::string path = PathText(t.rootName, t.parts);
    std::string event = "RegCreateKeyExA " + path;
    DWORD error = 0;
    if (Injected("RegCreateKeyExA", path, &error)) {
        EventFailed(event, error);
        return (LSTATUS)error;
    }
    // The parent's access is not checked: a KEY_READ handle serves as parent, as on Windows.
    std::shared_ptr<RegNode> node = NodeAt(t);
    bool created = node == nullptr;
    if (created) {
        node = t.root;
        for (const std::string &name : t.parts) {
            auto &slot = node->children[Fold(name)];
            if (!slot) {
                slot = std::make_shared<RegNode>();
                slot->name = name;
            }
            node = slot;
        }
    }
    *phkResult = NewKeyHandle(node, path, samDesired);
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    Event(event);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData, DWORD cbData)
{
    KeyHandle rootHandle;
    LSTATUS status = ERROR_SUCCESS;
    KeyHandle *key = HandleOf(hKey, &status, rootHandle);
    std::string name = lpValueName != nullptr ? lpValueName : "";
    std::string bytes = lpData != nullptr ? std::string((const char *)lpData, cbData) : std::string();
    if (key == nullptr)
        return status;
    std::string event = "RegSetValueExA " + key->path + " " + name + "=" + TextOf(bytes);
    DWORD error = 0;
    if (Injected("RegSetValueExA", key->path, &error))
        status = (LSTATUS)error;
    else if ((key->access & KEY_SET_VALUE) == 0)
        status = ERROR_ACCESS_DENIED;
    else if (lpData == nullptr && cbData != 0)
        status = ERROR_NOACCESS;
    if (status != ERROR_SUCCESS) {
        EventFailed(event, (DWORD)status);
        return status;
    }
    // Text given without its terminator: RegSetValueExA stores the NUL too when the byte after
    // the data is one (the usual strlen() size). An empty text stays a value of zero bytes.
    if ((dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ) && cbData > 0 &&
        lpData[cbData - 1] != 0 && lpData[cbData] == 0)
        bytes += '\0';
    for (RegValue &v : key->node->values)
        if (SameNoCase(v.name, name)) {
            v.type = dwType;
            v.bytes = bytes;
            Event(event);
            return ERROR_SUCCESS;
        }
    key->node->values.push_back(RegValue{name, dwType, bytes});
    Event(event);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData)
{
    KeyHandle rootHandle;
    LSTATUS status = ERROR_SUCCESS;
    KeyHandle *key = HandleOf(hKey, &status, rootHandle);
    if (key == nullptr)
        return status;
    DWORD error = 0;
    if (Injected("RegQueryValueExA", key->path, &error))
        return (LSTATUS)error;
    if ((key->access & KEY_QUERY_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    std::string name = lpValueName != nullptr ? lpValueName : "";
    for (RegValue &v : key->node->values)
        if (SameNoCase(v.name, name)) {
            if (lpData != nullptr && lpcbData == nullptr)
                return ERROR_INVALID_PARAMETER;
            if (lpData != nullptr && *lpcbData < v.bytes.size()) {
                *lpcbData = (DWORD)v.bytes.size();
                return ERROR_MORE_DATA;
            }
            if (lpType != nullptr)
                *lpType = v.type;
            if (lpData != nullptr)
                memcpy(lpData, v.bytes.data(), v.bytes.size());
            if (lpcbData != nullptr)
                *lpcbData = (DWORD)v.bytes.size();
            return ERROR_SUCCESS;
        }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                                LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                                PFILETIME lpftLastWriteTime)
{
    KeyHandle rootHandle;
    LSTATUS status = ERROR_SUCCESS;
    KeyHandle *key = HandleOf(hKey, &status, rootHandle);
    if (key == nullptr)
        return status;
    DWORD error = 0;
    if (Injected("RegQueryInfoKeyA", key->path, &error))
        return (LSTATUS)error;
    if ((key->access & KEY_QUERY_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    const RegNode &node = *key->node;
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (auto &child : node.children)
        if (child.second->name.size() > maxSub)
            maxSub = (DWORD)child.second->name.size();
    for (const RegValue &v : node.values) {
        if (v.name.size() > maxName)
            maxName = (DWORD)v.name.size();
        if (v.bytes.size() > maxData)
            maxData = (DWORD)v.bytes.size();
    }
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass != nullptr)
        *lpcchClass = 0;
    if (lpcSubKeys != nullptr)
        *lpcSubKeys = (DWORD)node.children.size();
    if (lpcbMaxSubKeyLen != nullptr)
        *lpcbMaxSubKeyLen = maxSub;
    if (lpcbMaxClassLen != nullptr)
        *lpcbMaxClassLen = 0;
    if (lpcValues != nullptr)
        *lpcValues = (DWORD)node.values.size();
    if (lpcbMaxValueNameLen != nullptr)
        *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen != nullptr)
        *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor != nullptr)
        *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime != nullptr)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                             LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    KeyHandle rootHandle;
    LSTATUS status = ERROR_SUCCESS;
    KeyHandle *key = HandleOf(hKey, &status, rootHandle);
    if (key == nullptr)
        return status;
    DWORD error = 0;
    if (Injected("RegEnumKeyExA", key->path, &error))
        return (LSTATUS)error;
    if ((key->access & KEY_ENUMERATE_SUB_KEYS) == 0)
        return ERROR_ACCESS_DENIED;
    if (lpName == nullptr || lpcchName == nullptr)
        return ERROR_INVALID_PARAMETER;
    // Subkeys come in the order of their names, without regard to case.
    if (dwIndex >= key->node->children.size())
        return ERROR_NO_MORE_ITEMS;
    auto it = key->node->children.begin();
    std::advance(it, dwIndex);
    const std::string &name = it->second->name;
    if (name.size() + 1 > *lpcchName)
        return ERROR_MORE_DATA; // nothing written
    memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = (DWORD)name.size();
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass != nullptr)
        *lpcchClass = 0;
    if (lpftLastWriteTime != nullptr)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    KeyHandle rootHandle;
    LSTATUS status = ERROR_SUCCESS;
    KeyHandle *key = HandleOf(hKey, &status, rootHandle);
    if (key == nullptr)
        return status;
    DWORD error = 0;
    if (Injected("RegEnumValueA", key->path, &error))
        return (LSTATUS)error;
    if ((key->access & KEY_QUERY_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    if (lpValueName == nullptr || lpcchValueName == nullptr || (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    // Values come in the order they were created.
    if (dwIndex >= key->node->values.size())
        return ERROR_NO_MORE_ITEMS;
    const RegValue &v = key->node->values[dwIndex];
    // Too small a buffer: Windows leaves the buffers undefined; winsim writes nothing into them
    // and, as documented, puts the size the data needs into *lpcbData.
    if (v.name.size() + 1 > *lpcchValueName)
        return ERROR_MORE_DATA;
    if (lpData != nullptr && v.bytes.size() > *lpcbData) {
        *lpcbData = (DWORD)v.bytes.size();
        return ERROR_MORE_DATA;
    }
    memcpy(lpValueName, v.name.c_str(), v.name.size() + 1);
    *lpcchValueName = (DWORD)v.name.size();
    if (lpType != nullptr)
        *lpType = v.type;
    if (lpData != nullptr)
        memcpy(lpData, v.bytes.data(), v.bytes.size());
    if (lpcbData != nullptr)
        *lpcbData = (DWORD)v.bytes.size();
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    if (lpSubKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    Target t = TargetOf(hKey, lpSubKey, 0);
    if (t.status != ERROR_SUCCESS)
        return t.status;
    std::string path = PathText(t.rootName, t.parts);
    std::string event = "RegDeleteKeyA " + path;
    DWORD error = 0;
    LSTATUS result = ERROR_SUCCESS;
    std::shared_ptr<RegNode> node;
    if (Injected("RegDeleteKeyA", path, &error))
        result = (LSTATUS)error;
    else if (t.parts.empty())
        result = ERROR_ACCESS_DENIED; // a root key
    else if ((node = NodeAt(t)) == nullptr)
        result = ERROR_FILE_NOT_FOUND;
    else if (!node->children.empty())
        result = ERROR_ACCESS_DENIED; // RegDeleteKey removes no key that still has subkeys
    if (result != ERROR_SUCCESS) {
        EventFailed(event, (DWORD)result);
        return result;
    }
    Target up = t;
    up.parts.pop_back();
    std::shared_ptr<RegNode> parent = NodeAt(up);
    parent->children.erase(Fold(t.parts.back()));
    MarkDeleted(*node); // open handles to it now get ERROR_KEY_DELETED
    Event(event);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    KeyHandle rootHandle;
    LSTATUS status = ERROR_SUCCESS;
    KeyHandle *key = HandleOf(hKey, &status, rootHandle);
    if (key == nullptr)
        return status;
    DWORD error = 0;
    if (Injected("RegDeleteValueA", key->path, &error))
        return (LSTATUS)error;
    if ((key->access & KEY_SET_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    std::string name = lpValueName != nullptr ? lpValueName : "";
    auto &values = key->node->values;
    for (auto it = values.begin(); it != values.end(); ++it)
        if (SameNoCase(it->name, name)) {
            values.erase(it);
            Event("RegDeleteValueA " + key->path + " " + name);
            return ERROR_SUCCESS;
        }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (IsRoot(hKey))
        return ERROR_SUCCESS;
    DWORD error = 0;
    if (Injected("RegCloseKey", &error))
        return (LSTATUS)error;
    if (S().keys.erase((uintptr_t)hKey) == 0)
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

// ---- test control ---------------------------------------------------------------------------

namespace winsim {

void RegSetRaw(HKEY root, const char *path, const char *name, DWORD type, const std::string &bytes)
{
    std::shared_ptr<RegNode> node = EnsureKey(RootNode(root), path);
    std::string valueName = name != nullptr ? name : "";
    for (RegValue &v : node->values)
        if (SameNoCase(v.name, valueName)) {
            v.type = type;
            v.bytes = bytes;
            return;
        }
    node->values.push_back(RegValue{valueName, type, bytes});
}

void RegSetString(HKEY root, const char *path, const char *name, const char *data)
{
    RegSetRaw(root, path, name, REG_SZ, std::string(data) + '\0');
}

void RegAddKey(HKEY root, const char *path)
{
    EnsureKey(RootNode(root), path);
}

bool RegKeyExists(HKEY root, const char *path)
{
    return FindKey(RootNode(root), path) != nullptr;
}

std::vector<std::pair<std::string, std::string>> RegValues(HKEY root, const char *path)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::shared_ptr<RegNode> node = FindKey(RootNode(root), path);
    if (node != nullptr)
        for (const RegValue &v : node->values)
            out.push_back({v.name, v.bytes});
    return out;
}

std::vector<std::string> RegSubkeys(HKEY root, const char *path)
{
    std::vector<std::string> out;
    std::shared_ptr<RegNode> node = FindKey(RootNode(root), path);
    if (node != nullptr)
        for (auto &child : node->children)
            out.push_back(child.second->name);
    return out;
}

static void DumpNode(const RegNode &node, const std::string &path, std::string &out)
{
    out += "[" + path + "]\n";
    for (const RegValue &v : node.values) {
        out += "  \"" + v.name + "\" type " + std::to_string(v.type) + " =";
        static const char digits[] = "0123456789abcdef";
        for (unsigned char c : v.bytes) {
            out += ' ';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        out += "\n";
    }
    for (auto &child : node.children)
        DumpNode(*child.second, path + "\\" + child.second->name, out);
}

std::string RegDump()
{
    std::string out;
    DumpNode(*S().hkcu, "HKCU", out);
    DumpNode(*S().hklm, "HKLM", out);
    return out;
}

} // namespace winsim
