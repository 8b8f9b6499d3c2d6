// The version record of the splash test program: product version 1.8.0.4,
// which the splash and the about box show as 1.8.4.
#include "ReadProductVersion.h"

QUARN_PRODUCT_VERSION_RECORD(1, 8, 0, 4);
