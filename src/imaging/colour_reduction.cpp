#include "imaging/colour_reduction.h"
