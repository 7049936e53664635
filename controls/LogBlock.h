#pragma once

#include <cstddef>
#include <memory>

// Memory for the octets of log lines, taken from the system apart from the
// allocator's heap: only the pages written take memory, and freeing a
// block gives it straight back to the system, where a heap may keep it or
// give it back in one slow piece. Shared by the blocks of a log and its
// snapshots. Throws std::bad_alloc when the system has none.
std::shared_ptr<char> mapLogBlock(std::size_t size);
