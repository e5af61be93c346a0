// The counts of the counting build.
#include "text/work.h"

#ifdef QUORVIN_COUNT_WORK
namespace work {
uint64_t done = 0;
uint64_t charged = 0;
}  // namespace work
#endif
