// The registry of the test machine: values written as a test needs them, in either view, and
// put back afterwards.
//
// Classes: RegistryValueGuard.
#ifndef MACHINE_REGISTRY_H
#define MACHINE_REGISTRY_H

#include <windows.h>

#include <string>
#include <vector>

namespace machine {

// view: KEY_WOW64_64KEY (what the 64-bit twin reads) or KEY_WOW64_32KEY (the i686 release).
// Each returns true when the registry holds what was asked for afterwards.

// The value with exactly these bytes (a string's NUL included, if it is to have one); the
// key is created if need be.
bool SetRegistryValue(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
                      const std::string& bytes, REGSAM view = KEY_WOW64_64KEY);
// A REG_SZ value, as RegSetValueExA stores a string.
bool SetRegistryString(HKEY root, const std::string& subkey, const std::string& name, const std::string& value,
                       REGSAM view = KEY_WOW64_64KEY);
bool DeleteRegistryValue(HKEY root, const std::string& subkey, const std::string& name,
                         REGSAM view = KEY_WOW64_64KEY);
// The key with its values; a key with subkeys stays.
bool DeleteRegistryKey(HKEY root, const std::string& subkey, REGSAM view = KEY_WOW64_64KEY);

// Saves a registry value and puts it back (or deletes it, and the key if it made that) on
// destruction. Saved through the wide functions, so that it goes back byte for byte.
class RegistryValueGuard {
public:
    RegistryValueGuard(HKEY root, const std::string& subkey, const std::string& name,
                       REGSAM view = KEY_WOW64_64KEY);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    bool SetString(const std::string& value);
    bool Set(DWORD type, const std::string& bytes);
    bool Delete();

private:
    HKEY m_root;
    std::string m_subkey, m_name;
    REGSAM m_view;
    bool m_keyExisted = false, m_valueExisted = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

}  // namespace machine

#endif
