#pragma once

#include "sandbox/Sandbox.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The storage host's way of answering a file: the whole file or one byte range ("Range: bytes=a-b", 206),
// with the fault switches of Sandbox::StorageFaults. The content comes from `fill`, block by block.
namespace SandboxStorage {

using Filler = std::function<void(uint64_t offset, char *out, size_t length)>;

void serveFile(const httplib::Request &request, httplib::Response &response, Sandbox::StorageFaults &faults,
               uint64_t size, const std::string &contentType, Filler fill, const std::string &name);

} // namespace SandboxStorage
