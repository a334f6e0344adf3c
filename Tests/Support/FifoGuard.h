#pragma once

#include <functional>
#include <string>

// Code that opens a FIFO for reading waits for a writer, for good. This runs `body`, which must
// not wait on the FIFO at `fifo`; should it still run after a few seconds, the FIFO is opened for
// writing and closed, which lets a reader blocked on it go on with end-of-file, so that the fault
// fails a test instead of hanging it.
namespace FifoGuard {

// Creates the FIFO (owner-only) at `fifo`.
void create(const std::string& fifo);

// Runs `body`; true when it finished without being let go.
bool finishesWithoutWaiting(const std::string& fifo, const std::function<void()>& body);

} // namespace FifoGuard
