#include "ProductData.h"

// The program's version record, in the section the about box reads; one language block,
// U.S. English in the Windows Latin-1 code page as such records usually name it.
[[gnu::used, gnu::section(".selvane.version")]] constexpr char VersionRecord[] =
    "040904E4" "\0"
    "ProductName" "\0" SELVANE_PRODUCT_NAME "\0"
    "ProductVersion" "\0" SELVANE_PRODUCT_VERSION "\0"
    "LegalCopyright" "\0" SELVANE_COPYRIGHT "\0"
    "";
