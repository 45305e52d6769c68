// The password cache and the password callbacks given to the toolkit, which
// ask through the password dialog.
#pragma once

#include <optional>
#include <string>

namespace kelda::sigprov {

inline constexpr char kCarrierPasswordName[] = "PSE_Path";

// Empties the cache (passwords wiped first).
void clear_password_cache();
// The cached password of a name (ignoring case), if any.
std::optional<std::string> cached_password(const std::string& name);
void cache_password(const std::string& name, const std::string& password);

// The toolkit callbacks: the password's length, or -1 when an argument is
// null or the user refuses.
int pse_password_callback(char* buffer, int size);
int etoken_password_callback(char* buffer, int size);
int rutoken_password_callback(char* buffer, int size);
int key_password_callback(char* buffer, int size);

// Asks for a password with the prompt (1251) in the password dialog; none
// when refused or when nobody can answer.
std::optional<std::string> ask_password(const std::string& prompt);

}  // namespace kelda::sigprov
