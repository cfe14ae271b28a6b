#pragma once
// How much memory this process can count on.
namespace quor::platform {

// The machine's physical memory in bytes, or less when the process runs
// under a limit: the room its address-space and data-size limits leave,
// or its control group's memory limit.
double usableMemoryBytes();

}  // namespace quor::platform
