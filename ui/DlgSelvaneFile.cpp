// The file commands of the main window: the save question, Select XML, New, Load, Save,
// Save As and Style Sheet.

#include "DlgSelvane.h"

#include <QCloseEvent>
#include <QFileDialog>

#include "DlgXMLServer.h"
#include "DocumentText.h"
#include "MessageForm.h"
#include "SelvaneApplication.h"
#include "XMLItemPath.h"

namespace {

const QString F1 = QStringLiteral("XML Files|*.xml|All Files|*.*");
const QString F2 = QStringLiteral("XML Files|*.xml|XSL Files|*.xsl");

// A file dialog of the program, started where `document` suggests; empty when cancelled.
QString ChooseFile(QWidget* parent, const char* name, const QString& filter, QFileDialog::AcceptMode mode, const QString& document)
{
    QFileDialog dialog(parent, QString(), FileDialogFolder(document), FileDialogFilter(filter));
    dialog.setObjectName(QString::fromUtf8(name));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    // A typed name of a missing file is taken too: the load that follows says it is missing.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

bool TfrmXMLDialog::QuerySave()
{
    if (!FModified)
        return true;
    switch (MessageDialog(QStringLiteral("The code was modified. Do you want to save the changes?"), mtConfirmation,
                          Btn(mbYes) | Btn(mbNo) | Btn(mbCancel))) {
    case mrYes:
        // Yes must not lose the changes: when the save does not happen, stay.
        asaveExecute();
        return !FModified;
    case mrNo:
        return true;
    default:
        return false;
    }
}

void TfrmXMLDialog::closeEvent(QCloseEvent* event)
{
    bool allowed = false;
    Guarded([&] { allowed = QuerySave(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    if (FAccepted)
        CheckPickOnDisk();
    event->accept();
}

void TfrmXMLDialog::CheckPickOnDisk()
{
    // A document that failed to load, or was never saved, holds nothing to hand over.
    if (FFileName.isEmpty()) {
        FRefusal = QStringLiteral("no document is loaded, so nothing was picked");
    } else if (FModified) {
        // The changes were not saved: the pick must name what the file holds.
        TECXMLParser saved;
        TXMLItem* item = nullptr;
        try {
            saved.LoadFromFile(std::filesystem::path(FFileName.toStdU16String()));
            item = FindItemByPath(&saved, FItemPath);
        } catch (const std::exception&) {
        }
        if (!item || (!FParamName.empty() && item->Params().IndexOfName(FParamName) < 0))
            FRefusal = QStringLiteral("the pick %1 is not in %2 as it was saved").arg(FResultItem, FFileName);
    }
    if (!FRefusal.isEmpty())
        FAccepted = false;
}

void TfrmXMLDialog::reject()
{
    // Escape does not end the selection dialog; only a close request does.
}

void TfrmXMLDialog::aSelectServerExecute()
{
    if (!QuerySave())
        return;
    FSource = SelectXmlSource(FSource, this);
    if (!FSource.isEmpty())
        LoadDocument();
}

void TfrmXMLDialog::aNewFileExecute()
{
    if (!QuerySave())
        return;
    FCurrentItem = nullptr;
    FFileName.clear();
    FSource.clear();
    LoadDocument();
}

void TfrmXMLDialog::aLoadExecute()
{
    if (!QuerySave())
        return;
    const QString chosen = ChooseFile(this, "OpenDialog1", F1, QFileDialog::AcceptOpen, FSource);
    if (chosen.isEmpty())
        return;
    FSource = chosen;
    LoadDocument();
}

void TfrmXMLDialog::asaveExecute()
{
    if (!FFileName.isEmpty()) {
        const std::optional<TBusyIndicator> busy = Busy(QStringLiteral("Writing ") + FFileName + QStringLiteral("…"));
        XML.SaveToFile(std::filesystem::path(FFileName.toStdU16String()));
        FModified = false;
    } else {
        aSaveAsExecute();
    }
    UpdateActions();
}

void TfrmXMLDialog::aSaveAsExecute()
{
    const QString chosen = ChooseFile(this, "SaveDialog1", F2, QFileDialog::AcceptSave, FSource);
    if (chosen.isEmpty())
        return;
    FFileName = chosen;
    FSource = FFileName;
    setWindowTitle(QStringLiteral("XML Dialog") + QStringLiteral(" : ") + FFileName);
    asaveExecute();
}

void TfrmXMLDialog::aStyleSheetExecute()
{
    if (!QuerySave())
        return;
    const QString chosen = ChooseFile(this, "OpenDialog2", F1, QFileDialog::AcceptOpen, FSource);
    if (chosen.isEmpty())
        return;
    std::string styleSheet;
    if (!ToDocumentText(chosen, styleSheet)) {
        MessageDialog(QStringLiteral("The file name cannot be written into the document: ") + chosen, mtError, Btn(mbOK));
        return;
    }
    XML.SetStyleSheet(styleSheet);
    if (TECXMLParser* primary = XMLGhost.PrimaryDocument())
        primary->SetStyleSheet(styleSheet);
    LoadDocument();
}
