#include <cstdio>

#include "DlgSelvane.h"
#include "SelvaneApplication.h"

int main(int argc, char** argv)
{
    TSelvaneApplication application(argc, argv);
    return ExecuteSelectionDialog(application.arguments().mid(1), stdout);
}
