#pragma once

// Work the user does not wait on (decoding sprite sheets and previews) runs on worker threads
// that give way to the GUI thread, so that the pet keeps animating while it runs, even on a
// machine with two cores and other busy programs.
namespace WorkerPriority {

// Lowers the priority of the calling thread, a worker's.
void giveWayToTheGuiThread();

} // namespace WorkerPriority
