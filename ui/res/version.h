// Orvandi's version and names: the one place they are written. The resource script builds the
// VERSIONINFO block from these; packaging.cmake reads ORVANDI_VERSION_STR for the package name.
#pragma once

#define ORVANDI_VERSION_NUM 1, 0, 0, 0
#define ORVANDI_VERSION_STR "1.00"
#define ORVANDI_PRODUCT_NAME "Orvandi"
#define ORVANDI_INTERNAL_NAME "Orvandi"
#define ORVANDI_ORIGINAL_FILENAME "Orvandi.exe"
