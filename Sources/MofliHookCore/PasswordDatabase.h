#pragma once

#include <optional>
#include <string>

// The current user's home folder from the system's account records, for when $HOME is unset.
namespace PasswordDatabase {

std::optional<std::string> currentUserHome();

} // namespace PasswordDatabase
