// Test tooling: the test binary's own operator new, which can be told to fail for large blocks as
// a process out of memory would, so code under test can be seen handling std::bad_alloc.
#pragma once

#include <cstddef>

// From now on every operator new of more than bytes throws std::bad_alloc.
void failing_new_above(size_t bytes);
// operator new allocates as usual again.
void failing_new_reset();
