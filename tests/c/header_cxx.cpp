// The C test program, compiled as C++: the header's callback types must
// take an application's callbacks in this language too.
#include "header_c.c"  // NOLINT(bugprone-suspicious-include): the point of this file
