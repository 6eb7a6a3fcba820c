#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
    "result that cannot be written, an unknown option or a missing display is exit status 2.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "  --         end of the options: a FILE that follows may start with '-'\n";

bool Is(const char* argument, const char* option) { return std::strcmp(argument, option) == 0; }

bool HasEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt gives up on a missing display by aborting the process; a desktop program says so.
bool DisplayNamed(int argc, char** argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (HasEnvironment("DISPLAY") || HasEnvironment("WAYLAND_DISPLAY") || HasEnvironment("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc && !Is(argv[i], "--"); ++i)
        if (Is(argv[i], "-platform") || Is(argv[i], "--platform"))
            return true;
    return false;
#else
    (void)argc;
    (void)argv;
    return true;
#endif
}

// What --help and --version print; a text that does not reach its reader is no success.
int Print(const char* text)
{
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 && !std::ferror(stdout))
        return 0;
    std::fprintf(stderr, "selvane: cannot write the output: %s\n", std::strerror(errno));
    return 2;
}

int UsageError(const QString& argument)
{
    std::fprintf(stderr, "selvane: unknown option %s\n\n%s", argument.toLocal8Bit().constData(), Usage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before the application starts, so that they need no display.
    for (int i = 1; i < argc && !Is(argv[i], "--"); ++i) {
        if (Is(argv[i], "--help") || Is(argv[i], "-h"))
            return Print(Usage);
        if (Is(argv[i], "--version"))
            return Print("selvane " SELVANE_PRODUCT_VERSION "\n");
    }
    if (!DisplayNamed(argc, argv)) {
        std::fputs("selvane: no display: the dialog needs a desktop session (DISPLAY or WAYLAND_DISPLAY).\n"
                   "On a machine without one, run it on a virtual display: xvfb-run selvane FILE\n",
                   stderr);
        return 2;
    }
    TSelvaneApplication application(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out of the arguments by now.
    QStringList files;
    const QStringList arguments = application.arguments();
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (options && arguments[i] == QLatin1String("--"))
            options = false;
        else if (options && arguments[i].size() > 1 && arguments[i].startsWith(QLatin1Char('-')))
            return UsageError(arguments[i]);
        else
            files.append(arguments[i]);
    }
    return ExecuteSelectionDialog(files, stdout);
}
