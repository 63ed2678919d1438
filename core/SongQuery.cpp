#include "core/SongQuery.h"
