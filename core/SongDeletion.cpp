#include "core/SongDeletion.h"
