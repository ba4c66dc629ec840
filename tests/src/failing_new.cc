// Test tooling: an operator new that can be told to fail (see failing_new.h). Every form of new
// and delete is replaced, so each block goes back to the allocator it came from.
#include "failing_new.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

static std::atomic<size_t> _failing_new_limit{SIZE_MAX};

void failing_new_above(size_t bytes) { _failing_new_limit = bytes; }

void failing_new_reset() { _failing_new_limit = SIZE_MAX; }

static void *_failing_new_block(size_t size) {
  if (size > _failing_new_limit) return nullptr;
  return malloc(size ? size : 1);
}

static void *_failing_new_or_throw(size_t size) {
  void *block = _failing_new_block(size);
  if (!block) throw std::bad_alloc();
  return block;
}

void *operator new(size_t size) { return _failing_new_or_throw(size); }
void *operator new[](size_t size) { return _failing_new_or_throw(size); }
void *operator new(size_t size, const std::nothrow_t &) noexcept { return _failing_new_block(size); }
void *operator new[](size_t size, const std::nothrow_t &) noexcept { return _failing_new_block(size); }
void operator delete(void *block) noexcept { free(block); }
void operator delete[](void *block) noexcept { free(block); }
void operator delete(void *block, size_t) noexcept { free(block); }
void operator delete[](void *block, size_t) noexcept { free(block); }
void operator delete(void *block, const std::nothrow_t &) noexcept { free(block); }
void operator delete[](void *block, const std::nothrow_t &) noexcept { free(block); }
