// Play mode and Refresh: the source file is read again every 500 ms and the selection
// is kept by its path and parameter name.

#include "DlgSelvane.h"

#include <QScopeGuard>
#include <QTimer>
#include <QTreeView>

#include <filesystem>

#include "SelvaneApplication.h"
#include "XMLItemPath.h"
#include "XMLTreeModel.h"

void TfrmXMLDialog::aPlayExecute()
{
    if (!QuerySave())
        return;
    // Selections in the first half second are not followed: the first refresh decides.
    FUpdating = true;
    TimerUpdate->start();
    UpdateActions();
}

void TfrmXMLDialog::aStopExecute()
{
    FUpdating = false;
    TimerUpdate->stop();
    UpdateActions();
}

void TfrmXMLDialog::Refresh()
{
    if (!QuerySave())
        return;
    FUpdating = true;
    const std::optional<TBusyIndicator> busy = Busy(QStringLiteral("Reading ") + DocumentName() + QStringLiteral("…"));
    try {
        const std::filesystem::path file = FSource.toStdU16String();
        std::error_code ignored;
        if (!FSource.isEmpty() && std::filesystem::is_regular_file(file, ignored))
            XML.LoadFromFile(file);
    } catch (const std::exception&) {
        // A file caught half written: the load stopped with part of the tree read and
        // without its loaded event. The views take up what is there, so nothing refers
        // to the items the load destroyed; the next tick reads the file again.
        RebuildTree();
    }
    FCurrentItem = FindItemByPath(&XML, FItemPath);
    const QModelIndex node = FindItemNode(FCurrentItem);
    if (node.isValid())
        SelectNode(node);
    else
        tvXML->selectionModel()->clear();
    FillParamList();
    ExpandAll();
    FUpdating = false;
}

void TfrmXMLDialog::TimerUpdateTimer()
{
    TimerUpdate->stop();
    try {
        FTicking = true;
        const auto ticked = qScopeGuard([this] { FTicking = false; });
        Refresh();
        TimerUpdate->start();
        // What the tick did saw the timer off; the commands follow play mode again.
        UpdateActions();
    } catch (const std::exception& error) {
        // Only a failed save in answer to the save question comes here: play mode ends,
        // and the user who answered Yes learns that nothing was saved.
        FUpdating = false;
        UpdateActions();
        ShowException(QString::fromUtf8(error.what()));
    }
}
