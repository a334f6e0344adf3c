#pragma once

// A decoded sprite sheet takes tens of megabytes, each frame cut from it a few hundred kilobytes,
// and they come and go with every pet. glibc's allocator keeps what large blocks freed for later
// use, in the heap of whichever thread allocated them, so every switch of pets would leave the
// memory of a sheet behind.
namespace FreedMemory {

// From now on, blocks of 128 KiB and more are mapped from the system one by one and unmapped as
// soon as they are freed. Call once, before the first sheet is decoded.
void returnLargeBlocksAtOnce();
// Gives what the allocator holds without use back to the system.
void returnToTheSystem();

} // namespace FreedMemory
