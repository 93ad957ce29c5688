// The shared helpers live in the header; CTest builds this file into every
// test program.
#include "support/test_support.h"
