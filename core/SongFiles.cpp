#include "core/SongFiles.h"
