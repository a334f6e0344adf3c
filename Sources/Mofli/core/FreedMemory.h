#pragma once

// A decoded sprite sheet takes tens of megabytes. glibc's allocator keeps what such images freed
// for later use, so every switch of pets would leave the memory of the last sheet behind.
namespace FreedMemory {

// Gives memory that the allocator holds without use back to the system, where it keeps any.
void returnToTheSystem();

} // namespace FreedMemory
