// The C test program, compiled as C++: the header's callback types must
// take an application's callbacks in this language too.
#include "header_c.c"
