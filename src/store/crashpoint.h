#pragma once

// Any thread. A point where the program may die in the field (after a write,
// a flush, a rename, an index append). Builds with MAIL_CRASH_POINTS let a
// test end the process right there: the environment variable
// DREL_CRASH_AT="<step>:<count>" makes the count-th passage of that step call
// _exit(). The shipped program is built without them, and this costs nothing.
#ifdef MAIL_CRASH_POINTS
void crashPoint(const char *step);
#else
inline void crashPoint(const char *) {}
#endif
