#include "StateWriter.h"

#include "Files.h"
#include "HookPaths.h"
#include "Json.h"

namespace StateWriter {

void writeState(const boost::json::object& out) {
    Files::replaceAtomically(HookPaths::stateFile(), Json::serialize(out));
}

} // namespace StateWriter
