#include "core/SongListing.h"
