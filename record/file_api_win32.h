#pragma once
#include "record/file_api.h"

// The platform's own file system: the program's one back-end.
FileApi& DefaultFileApi();
