#include "PayloadReader.h"

#include "Json.h"

#include <boost/json/stream_parser.hpp>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace PayloadReader {

boost::json::object read(int fd) {
    boost::json::parse_options options;
    options.max_depth = Json::maxDepth;
    boost::json::stream_parser parser({}, options);
    constexpr std::size_t chunkSize = 64 * 1024;
    const auto chunk = std::make_unique<char[]>(chunkSize);
    bool usable = true;
    for (;;) {
        const ssize_t count = ::read(fd, chunk.get(), chunkSize);
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {};
        }
        if (usable) {
            boost::system::error_code error;
            parser.write(chunk.get(), static_cast<std::size_t>(count), error);
            usable = !error;
        }
    }
    boost::system::error_code error;
    if (!usable || (parser.finish(error), error) || !parser.done()) {
        return {};
    }
    boost::json::value result = parser.release();
    if (!result.is_object()) {
        return {};
    }
    return std::move(result.as_object());
}

} // namespace PayloadReader
