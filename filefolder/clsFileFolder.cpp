#include "filefolder/clsFileFolder.h"

clsFileFolder::clsFileFolder() = default;
