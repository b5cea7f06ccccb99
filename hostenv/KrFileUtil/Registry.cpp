#include "KrFileUtil/Registry.h"

namespace DE {
namespace {

// Closes the key it owns.
class OpenKey {
public:
    OpenKey(HKEY root, const std::wstring& keyPath, REGSAM access) {
        // The callers' paths start with a backslash, which the registry does not take.
        size_t start = keyPath.find_first_not_of(L'\\');
        std::wstring path = start == std::wstring::npos ? std::wstring() : keyPath.substr(start);
        status_ = RegOpenKeyExW(root, path.c_str(), 0, access, &key_);
        if (status_ != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~OpenKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY get() const { return key_; }
    LSTATUS status() const { return status_; }

private:
    HKEY key_ = nullptr;
    LSTATUS status_ = ERROR_SUCCESS;
};

bool Fail(LSTATUS status) {
    SetLastError(static_cast<DWORD>(status));
    return false;
}

} // namespace

Registry::Registry() : root_(HKEY_CURRENT_USER) {}
Registry::Registry(const Registry& other) = default;
Registry& Registry::operator=(const Registry& other) = default;
Registry::~Registry() = default;

void Registry::SetRootKey(HKEY root) {
    root_ = root;
}

bool Registry::KeyExists(const std::wstring& keyPath) const {
    OpenKey key(root_, keyPath, KEY_READ);
    return key.get() != nullptr || Fail(key.status());
}

bool Registry::GetValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, int& value,
                        unsigned long access) {
    OpenKey key(root, keyPath, access);
    if (key.get() == nullptr) {
        return Fail(key.status());
    }
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    LSTATUS status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (status != ERROR_SUCCESS) {
        return Fail(status);
    }
    if (type != REG_DWORD || size != sizeof(data)) {
        return Fail(ERROR_INVALID_DATATYPE);
    }
    value = static_cast<int>(data);
    return true;
}

bool Registry::SetValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, const int& value,
                        unsigned long access) {
    OpenKey key(root, keyPath, access);
    if (key.get() == nullptr) {
        return Fail(key.status());
    }
    DWORD data = static_cast<DWORD>(value);
    LSTATUS status =
        RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    return status == ERROR_SUCCESS || Fail(status);
}

bool Registry::GetValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, std::wstring& value,
                        unsigned long access) {
    OpenKey key(root, keyPath, access);
    if (key.get() == nullptr) {
        return Fail(key.status());
    }
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        return Fail(status);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return Fail(ERROR_INVALID_DATATYPE);
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &bytes);
    if (status != ERROR_SUCCESS) {
        return Fail(status);
    }
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    value = text;
    return true;
}

bool Registry::SetValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, const std::wstring& value,
                        unsigned long access) {
    OpenKey key(root, keyPath, access);
    if (key.get() == nullptr) {
        return Fail(key.status());
    }
    LSTATUS status = RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return status == ERROR_SUCCESS || Fail(status);
}

} // namespace DE
