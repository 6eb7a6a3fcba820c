#include <cstdio>

#include "DlgSelvane.h"
#include "SelvaneApplication.h"

int main(int argc, char** argv)
{
    TSelvaneApplication application(argc, argv);
    QString result;
    bool accepted = false;
    {
        TfrmXMLDialog window(application.arguments().mid(1));
        window.show();
        application.exec();
        accepted = window.Accepted();
        result = window.ResultItem();
    }
    // Like other dialog programs: the pick on standard output and status 0 after OK.
    if (!accepted)
        return 1;
    std::printf("%s\n", result.toUtf8().constData());
    return 0;
}
