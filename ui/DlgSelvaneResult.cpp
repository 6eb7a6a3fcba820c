// The selection result of the main window: OK, Cancel and Item to Clipboard.

#include "DlgSelvane.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>

#include "CodePage.h"

void TfrmXMLDialog::aOKExecute()
{
    FResultItem = ResultText();
    FAccepted = true;
    close();
}

void TfrmXMLDialog::aCancelExecute()
{
    FResultItem.clear();
    FAccepted = false;
    SetResultText(QString());
    close();
}

void TfrmXMLDialog::acopytoclipboardExecute()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(ResultText());
}

int ExecuteSelectionDialog(const QStringList& arguments, std::FILE* out)
{
    QString result;
    QString refusal;
    bool accepted = false;
    {
        TfrmXMLDialog window(arguments);
        window.show();
        QApplication::exec();
        accepted = window.Accepted();
        result = window.ResultItem();
        refusal = window.Refusal();
    }
    // Like other dialog programs: the pick on standard output and status 0 after OK;
    // the settings, "Item" among them, are written when the window goes.
    if (!refusal.isEmpty())
        std::fprintf(stderr, "selvane: %s\n", refusal.toUtf8().constData());
    if (!accepted)
        return 1;
    // A pick that did not reach its reader (a full disk, a closed pipe) is no success.
    std::fprintf(out, "%s\n", OneLineText(result.toUtf8().toStdString()).c_str());
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(stderr, "selvane: cannot write the result: %s\n", std::strerror(errno));
        return 2;
    }
    return 0;
}
