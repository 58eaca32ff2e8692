// The registry of the test machine.
#include "machine/Registry.h"

namespace machine {

namespace {

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
}

}  // namespace

bool SetRegistryValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                      const std::string& bytes, REGSAM view)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG set = ::RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                      static_cast<DWORD>(bytes.size()));
    ::RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

bool SetRegistryString(HKEY root, const std::string& subkey, const std::string& name, const std::string& value,
                       REGSAM view)
{
    return SetRegistryValue(root, subkey, name, REG_SZ, std::string(value.c_str(), value.size() + 1), view);
}

bool DeleteRegistryValue(HKEY root, const std::string& subkey, const std::string& name, REGSAM view)
{
    HKEY key = nullptr;
    const LONG opened = ::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened != ERROR_SUCCESS)
        return false;
    const LONG deleted = ::RegDeleteValueA(key, name.c_str());
    ::RegCloseKey(key);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool DeleteRegistryKey(HKEY root, const std::string& subkey, REGSAM view)
{
    const LONG deleted = ::RegDeleteKeyExA(root, subkey.c_str(), view, 0);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

RegistryValueGuard::RegistryValueGuard(HKEY root, const std::string& subkey, const std::string& name, REGSAM view)
    : m_root(root), m_subkey(subkey), m_name(name), m_view(view)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, Wide(subkey).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    m_keyExisted = true;
    const std::wstring wideName = Wide(name);
    DWORD size = 0;
    if (::RegQueryValueExW(key, wideName.c_str(), nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
        m_data.resize(size);
        m_valueExisted = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &m_type, m_data.data(), &size)
                         == ERROR_SUCCESS;
        m_data.resize(size);
    }
    ::RegCloseKey(key);
}

RegistryValueGuard::~RegistryValueGuard()
{
    if (!m_keyExisted) {
        DeleteRegistryValue(m_root, m_subkey, m_name, m_view);
        DeleteRegistryKey(m_root, m_subkey, m_view);
        return;
    }
    HKEY key = nullptr;
    if (::RegCreateKeyExW(m_root, Wide(m_subkey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return;
    if (m_valueExisted)
        ::RegSetValueExW(key, Wide(m_name).c_str(), 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        ::RegDeleteValueW(key, Wide(m_name).c_str());
    ::RegCloseKey(key);
}

bool RegistryValueGuard::SetString(const std::string& value)
{
    return SetRegistryString(m_root, m_subkey, m_name, value, m_view);
}

bool RegistryValueGuard::Set(DWORD type, const std::string& bytes)
{
    return SetRegistryValue(m_root, m_subkey, m_name, type, bytes, m_view);
}

bool RegistryValueGuard::Delete()
{
    return DeleteRegistryValue(m_root, m_subkey, m_name, m_view);
}

}  // namespace machine
