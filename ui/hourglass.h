#pragma once

// The wait pointer of long operations.
namespace Hourglass {
void set();
// Back to the default pointer, however many times it was set.
void reset();
} // namespace Hourglass
