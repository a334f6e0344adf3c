#include "PayloadReader.h"

#include "Json.h"

#include <boost/json/monotonic_resource.hpp>
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace PayloadReader {

namespace {

// Address space for the payload and, after it, for the values parsed from it. Only the pages
// written to are ever backed by memory. Claude Code sends whole tool outputs, megabytes at
// times: past the first 2 MiB the kernel may back the region with huge pages, which saves most
// of the page faults (about 7 ms for a 5 MB payload here), while small payloads keep to a few
// small pages, whose clearing costs nothing noticeable.
constexpr std::size_t reservedBytes = std::size_t(1) << 30;
constexpr std::size_t smallPagesPart = std::size_t(2) << 20;

char* reserveRegion() {
    int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_NORESERVE
    flags |= MAP_NORESERVE;
#endif
    void* region = ::mmap(nullptr, reservedBytes, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (region == MAP_FAILED) {
        return nullptr;
    }
#ifdef MADV_HUGEPAGE
    ::madvise(static_cast<char*>(region) + smallPagesPart, reservedBytes - smallPagesPart,
              MADV_HUGEPAGE);
#endif
    return static_cast<char*>(region);
}

// Reads `fd` to its end into `region`. False when reading fails or the input does not fit; the
// input is drained either way, so the sender never sees a broken pipe.
bool readAll(int fd, char* region, std::size_t& used) {
    used = 0;
    bool fits = true;
    char discard[64 * 1024];
    for (;;) {
        char* target = fits ? region + used : discard;
        const std::size_t room = fits ? reservedBytes - used : sizeof discard;
        const ssize_t count = ::read(fd, target, room);
        if (count == 0) {
            return fits;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (fits) {
            used += static_cast<std::size_t>(count);
            fits = used < reservedBytes;
        }
    }
}

} // namespace

boost::json::object read(int fd) {
#ifdef F_SETPIPE_SZ
    // A megabyte-sized pipe lets the sender write large outputs in a few big steps instead of
    // waking both processes for every 64 KiB; without permission the pipe simply stays as it is.
    ::fcntl(fd, F_SETPIPE_SZ, 1 << 20);
#endif
    char* region = reserveRegion();
    std::size_t used = 0;
    if (region == nullptr || !readAll(fd, region, used)) {
        return {};
    }
    // The hook exits right after its one payload, so the region and the values in it are never
    // released.
    constexpr std::size_t alignment = 64;
    const std::size_t valuesStart = (used + alignment - 1) / alignment * alignment;
    static boost::json::monotonic_resource values(
        reinterpret_cast<unsigned char*>(region) + valuesStart, reservedBytes - valuesStart);
    return Json::parseObject(std::string_view(region, used), boost::json::storage_ptr(&values));
}

} // namespace PayloadReader
