// Play mode and Refresh: the source file is read again every 500 ms and the selection
// is kept by its path and parameter name.

#include "DlgSelvane.h"

#include <QScopeGuard>
#include <QTimer>
#include <QTreeView>

#include <filesystem>
#include <utility>

#include "SafeFile.h"
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
    const std::filesystem::path file = FSource.toStdU16String();
    std::error_code ignored;
    bool reloaded;
    {
        FRefreshing = true;
        const auto reread = qScopeGuard([this] { FRefreshing = false; });
        reloaded = !FSource.isEmpty() && std::filesystem::is_regular_file(file, ignored) && ReloadWhole(file);
    }
    FCurrentItem = FindItemByPath(&XML, FItemPath);
    const QModelIndex node = FindItemNode(FCurrentItem);
    if (node.isValid())
        SelectNode(node);
    else
        tvXML->selectionModel()->clear();
    FillParamList();
    // A reload's rebuild opened every node already; without one, the branches the user
    // closed open again.
    if (!reloaded)
        ExpandAll();
    FUpdating = false;
}

bool TfrmXMLDialog::ReloadWhole(const std::filesystem::path& file)
{
    // Another program may be rewriting the file in place: a text read while it changed,
    // or one that stops inside open elements, is never shown, and so never saved by a
    // later Set Value. The document stays as it is; the next tick reads the file again.
    std::string text;
    std::string reason;
    if (!ReadSettledFile(file, text, reason))
        return false;
    return XML.LoadWholeText(std::move(text));
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
