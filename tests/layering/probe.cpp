// Compiled in place of a file of one layer: the header that layer may include comes first, so
// that the build can stop only at the one it must not.
#include PROBE_ALLOWED
#include PROBE_FORBIDDEN
