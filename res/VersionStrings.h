// The texts of the version record, shared by the record as data (Linux) and
// the resource script that windres compiles (Windows); macros only, so that
// the resource compiler reads this file too.
#pragma once

#define DORVALUNE_FILE_DESCRIPTION "Halves the width and height of image files"
#define DORVALUNE_INTERNAL_NAME "Dorvalune.exe"
#define DORVALUNE_PRODUCT_NAME "Dorvalune"
