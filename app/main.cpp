#include <cstdio>
#include <cstring>

#include "DlgSelvane.h"
#include "ProductData.h"
#include "SelvaneApplication.h"

namespace {

constexpr const char* Usage =
    "Usage: selvane [FILE]\n"
    "\n"
    "Opens FILE, or without it the document chosen last time, in the selection dialog.\n"
    "Pick an element or an attribute and press OK: its dotted name (for example\n"
    "Plant.Line1.Oven.setpoint) is printed on standard output as one UTF-8 line and the\n"
    "exit status is 0. Cancel or closing the window prints nothing and exits with 1; a\n"
    "result that cannot be written is exit status 2.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";

} // namespace

int main(int argc, char** argv)
{
    // Answered before the application starts, so that they need no display.
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return std::fputs(Usage, stdout) < 0 || std::fflush(stdout) != 0 ? 2 : 0;
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0)
        return std::printf("selvane %s\n", SELVANE_PRODUCT_VERSION) < 0 || std::fflush(stdout) != 0 ? 2 : 0;
    TSelvaneApplication application(argc, argv);
    return ExecuteSelectionDialog(application.arguments().mid(1), stdout);
}
