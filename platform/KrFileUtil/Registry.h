#pragma once

// The maker's file-utility library (KrFileUtil.dll): registry wrapper.

#include <windows.h>

#include <string>

#include "KrFileUtil/KrFileUtilApi.h"

namespace DE {

// Key paths may start with a backslash. Every call reports success as true;
// on failure the thread's last error describes why.
class KRFILEUTIL_API Registry {
public:
    Registry();
    Registry(const Registry& other);
    Registry& operator=(const Registry& other);
    virtual ~Registry();

    void SetRootKey(HKEY root);
    bool KeyExists(const std::wstring& keyPath) const;

    static bool GetValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, int& value,
                         unsigned long access);
    static bool SetValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, const int& value,
                         unsigned long access);
    static bool GetValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, std::wstring& value,
                         unsigned long access);
    static bool SetValue(HKEY root, const std::wstring& keyPath, const std::wstring& name,
                         const std::wstring& value, unsigned long access);

private:
    HKEY root_;
};

} // namespace DE
