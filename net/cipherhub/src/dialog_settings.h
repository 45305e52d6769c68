// What the dispatcher's dialogs write into its own settings file when a
// provider is added or removed. Paths and names are 8-bit (code page 1251);
// an empty path writes nothing. Any thread; nothing throws but
// std::bad_alloc.
#pragma once

#include <string_view>

namespace kelda::cipherhub {

// "<section>=1" in "CryptoProviders", and "Module" and "IniFile" in the
// provider's own section. False when the file could not be written.
bool store_provider_settings(std::string_view ini_path, std::string_view section,
                             std::string_view module, std::string_view ini_file);

// Removes the provider's line from "CryptoProviders" and its own section.
// False when the file could not be written.
bool forget_provider_settings(std::string_view ini_path, std::string_view section);

}  // namespace kelda::cipherhub
