#include "data/Query.h"
