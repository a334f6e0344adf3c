#include "ControllingTerminal.h"
#include "ProcessRecord.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ControllingTerminal {
namespace {

// UNIX98 pseudo-terminal slaves use these majors; their name follows from the minor number.
constexpr unsigned ptySlaveMajorFirst = 136;
constexpr unsigned ptySlaveMajorLast = 143;

bool isDevice(const std::string& path, dev_t device) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device;
}

std::optional<std::string> findInFolder(const std::string& folder, dev_t device) {
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string path = folder + "/" + entry->d_name;
        if (entry->d_name[0] != '.' && isDevice(path, device)) {
            found = path;
            break;
        }
    }
    ::closedir(directory);
    return found;
}

} // namespace

std::optional<std::string> devicePath(dev_t device) {
    const unsigned major = ::major(device);
    if (major >= ptySlaveMajorFirst && major <= ptySlaveMajorLast) {
        const unsigned number = (major - ptySlaveMajorFirst) * 256 + ::minor(device);
        if (std::string path = "/dev/pts/" + std::to_string(number); isDevice(path, device)) {
            return path;
        }
    }
    if (std::optional<std::string> path = findInFolder("/dev", device)) {
        return path;
    }
    return findInFolder("/dev/pts", device);
}

} // namespace ControllingTerminal
