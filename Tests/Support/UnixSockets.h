#pragma once

// Local stream sockets made with plain system calls, for tests that stand in for another program
// at a socket path. Both are safe to call in a child process of a threaded program.
namespace UnixSockets {

// A socket listening at `path` that takes connections into its backlog and answers none; -1 when
// it cannot be made.
int listenOn(const char* path);
// A socket connected to the one at `path`; -1 when none takes the connection.
int connectTo(const char* path);

} // namespace UnixSockets
