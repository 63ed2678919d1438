#include "core/SongFolders.h"
