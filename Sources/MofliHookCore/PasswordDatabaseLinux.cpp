#include "PasswordDatabase.h"

#include <charconv>
#include <fstream>
#include <string_view>
#include <unistd.h>

namespace PasswordDatabase {

// The hook is linked statically on Linux, where glibc's getpwuid() would have to load the NSS
// modules of the glibc it was built against at run time. Reading /etc/passwd needs nothing.
std::optional<std::string> currentUserHome() {
    std::ifstream passwd("/etc/passwd");
    const uid_t uid = getuid();
    std::string line;
    while (std::getline(passwd, line)) {
        // name:password:uid:gid:gecos:home:shell
        std::string_view fields[7];
        std::size_t count = 0;
        std::string_view rest = line;
        while (count < 7) {
            const std::size_t colon = rest.find(':');
            fields[count++] = rest.substr(0, colon);
            if (colon == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(colon + 1);
        }
        uid_t entryUid = 0;
        const std::string_view uidField = fields[2];
        if (count < 6 ||
            std::from_chars(uidField.data(), uidField.data() + uidField.size(), entryUid).ec !=
                std::errc() ||
            entryUid != uid || fields[5].empty()) {
            continue;
        }
        return std::string(fields[5]);
    }
    return std::nullopt;
}

} // namespace PasswordDatabase
