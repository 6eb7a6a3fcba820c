// The editing commands of the main window: Add Item, Delete Item, Edit Entry, Move Up,
// Move Down, Set Value and the in-place edits of node texts and row captions. Some act
// on the tree when it has the input focus, others when the last selection was made in
// it; the rest of the time they act on the list.

#include "DlgSelvane.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <stdexcept>

#include "DocumentText.h"
#include "InputBox.h"
#include "MessageForm.h"
#include "ParamaterEditorForm.h"
#include "SelvaneApplication.h"
#include "XMLAddGroup.h"
#include "XMLItemPath.h"
#include "XMLParamModel.h"
#include "XMLTreeModel.h"

bool TfrmXMLDialog::Confirmed(bool ask, const QString& question)
{
    // Only No stops: a box closed by its title bar lets the command go on.
    return !ask || MessageDialog(question, mtConfirmation, Btn(mbYes) | Btn(mbNo)) != mrNo;
}

TXMLItem* TfrmXMLDialog::SelectedItem() const { return FTreeModel->ItemOf(tvXML->currentIndex()); }

int TfrmXMLDialog::SelectedRow() const
{
    const QModelIndex row = lvxml->currentIndex();
    return row.isValid() && lvxml->selectionModel()->isRowSelected(row.row()) ? row.row() : -1;
}

void TfrmXMLDialog::aAddExecute()
{
    if (FTreeActive) {
        if (TXMLItem* selected = SelectedItem())
            FCurrentItem = selected;
        QString name;
        bool subitem = false;
        if (ExecuteItemDialog(name, subitem, this) && !name.isEmpty()) {
            const std::string text = NameTextOf(name, true);
            // The new item is held here through the rebuilds its creation causes.
            TXMLItem* added = FCurrentItem ? FCurrentItem->New() : XML.Root();
            added->SetName(text);
            FCurrentItem = added;
            FModified = true;
            RebuildTree(added);
        }
    } else if (TXMLItem* item = SelectedItem()) {
        FCurrentItem = item;
        QString name;
        QString value;
        if (ExecuteParamDialog(name, value, this) && !name.isEmpty()) {
            FCurrentItem->Params().Add(NameTextOf(name, false) + "=" + DocumentTextOf(value));
            FillParamList();
            FModified = true;
        }
    }
    UpdateActions();
}

void TfrmXMLDialog::aDeleteExecute()
{
    // Where the focus was when the user asked, not where the question box left it.
    const bool onTree = tvXML->hasFocus();
    if (!Confirmed(FAskDelete, QStringLiteral("Do you want delete this Item?")))
        return;
    if (onTree) {
        TXMLItem* item = SelectedItem();
        if (!item)
            return;
        FCurrentItem = item;
        TXMLItem* parent = item->Parent();
        if (!parent) {
            MessageDialog(QStringLiteral("The root item cannot be deleted."), mtError, Btn(mbOK));
            return;
        }
        // The user's place moves to the next sibling, else the previous one, else the
        // parent; the rebuild after the delete keeps it.
        const int index = parent->IndexOf(item);
        TXMLItem* next = index + 1 < parent->Count() ? parent->Items(index + 1) : index > 0 ? parent->Items(index - 1) : parent;
        SelectNode(FindItemNode(next));
        parent->Delete(index);
    } else {
        FCurrentItem = SelectedItem();
        const int row = SelectedRow();
        if (!FCurrentItem || row < 0)
            return;
        // The row may stand for a later entry when the filter hides some.
        FCurrentItem->Params().Delete(FParamModel->Row(row).entry);
    }
    FModified = true;
    if (ViewerShowing())
        VisRedraw();
    FillParamList();
    UpdateActions();
}

void TfrmXMLDialog::aEditEntryExecute()
{
    if (tvXML->hasFocus()) {
        TXMLItem* item = SelectedItem();
        if (!item)
            return;
        const QString name = FromDocumentText(item->Name());
        const QString text = InputBox(this, QStringLiteral("Change Group Name"), QStringLiteral("Name"), name);
        if (text.isEmpty() || text == name)
            return;
        const std::string changed = NameTextOf(text, true);
        if (!Confirmed(FAskChange, QStringLiteral("Do you want change this value?")))
            return;
        item->SetName(changed);
        FModified = true;
        RebuildTree(item);
        if (ViewerShowing())
            VisRedraw();
        return;
    }
    TXMLItem* item = SelectedItem();
    const int row = SelectedRow();
    if (!item || row < 0)
        return;
    const TXMLParamModel::TRow& shown = FParamModel->Row(row);
    const int index = item->Params().IndexOfName(shown.name);
    QString name = FromDocumentText(shown.name);
    QString value = FromDocumentText(shown.value);
    if (!ExecuteParamDialog(name, value, this)) {
        // Cancelled: the diagram is drawn again all the same.
        if (ViewerShowing())
            VisRedraw();
        return;
    }
    const std::string newName = NameTextOf(name, false);
    const std::string newValue = DocumentTextOf(value);
    if (!Confirmed(FAskChange, QStringLiteral("Do you want change this value?")))
        return;
    // The entry first: when the row's name no longer names one, nothing changes.
    item->Params().SetStrings(index, newName + "=" + newValue);
    FParamModel->SetRow(row, newName, newValue);
    FModified = true;
    UpdateActions();
    if (ViewerShowing())
        VisRedraw();
}

void TfrmXMLDialog::aMoveUpExecute() { MoveEntry(tvXML->hasFocus(), -1); }

void TfrmXMLDialog::aMoveDownExecute() { MoveEntry(FTreeActive, 1); }

void TfrmXMLDialog::MoveEntry(bool onTree, int step)
{
    try {
        if (onTree) {
            if (!FCurrentItem || !FCurrentItem->Parent())
                throw std::runtime_error("no parent");
            TXMLItem* parent = FCurrentItem->Parent();
            const int i = parent->IndexOf(FCurrentItem);
            if (i + step >= 0 && i + step < parent->Count())
                parent->Move(FCurrentItem, i + step);
            RebuildTree();
        } else {
            const int row = SelectedRow();
            if (row < 0)
                return;
            if (!FCurrentItem)
                throw std::runtime_error("no item");
            TXMLParams& params = FCurrentItem->Params();
            const int i = params.IndexOfName(FParamModel->Row(row).name);
            if (step > 0 && i < 0)
                throw std::runtime_error("no entry");
            if (i >= 0 && i + step >= 0 && i + step < params.Count())
                params.Move(i, i + step);
            FillParamList();
        }
        FModified = true;
        UpdateActions();
        if (ViewerShowing())
            VisRedraw();
    } catch (const std::exception&) {
        MessageDialog(QStringLiteral("You cannot move this entry"), mtError, Btn(mbOK));
    }
}

void TfrmXMLDialog::aSetValueExecute()
{
    TXMLItem* item = SelectedItem();
    const int row = SelectedRow();
    if (!item || row < 0)
        return;
    const std::string name = FParamModel->Row(row).name;
    const QString value = FromDocumentText(item->Params().Values(name));
    const std::string itemPath = ItemFullPath(item);
    const std::string changed = DocumentTextOf(InputBox(this, FromDocumentText(name), QStringLiteral("Value"), value));
    if (!Confirmed(FAskChange, QStringLiteral("Do you want change this value?")))
        return;
    // Play mode may have read the file again while the boxes were open: the entry is
    // looked up afresh, and left alone when it has gone.
    item = FindItemByPath(&XML, itemPath);
    if (!item || item->Params().IndexOfName(name) < 0)
        return;
    for (int shown = 0; shown < FParamModel->rowCount(); ++shown)
        if (FParamModel->Row(shown).name == name)
            FParamModel->SetRow(shown, name, changed);
    // An empty value removes the entry; its row stays until the list is filled again.
    item->Params().SetValue(name, changed);
    FModified = true;
    UpdateActions();
}

bool TfrmXMLDialog::InPlaceName(const QString& text, bool item, std::string& name)
{
    try {
        name = NameTextOf(text, item);
        return true;
    } catch (const std::exception& error) {
        // The view is still closing its editor: the refusal is shown once it has.
        QTimer::singleShot(0, this, [message = QString::fromUtf8(error.what())] { ShowException(message); });
        return false;
    }
}

void TfrmXMLDialog::tvXMLEdited(TXMLItem* item, const QString& text)
{
    // The node may have gone while the edit was being closed.
    if (!FindItemNode(item).isValid())
        return;
    std::string name;
    if (!InPlaceName(text, true, name) || name == item->Name())
        return;
    FCurrentItem = item;
    item->SetName(name);
    if (ViewerShowing())
        VisRedraw();
}

void TfrmXMLDialog::lvxmlEdited(int row, const QString& text)
{
    TXMLItem* item = SelectedItem();
    if (!item || row >= FParamModel->rowCount())
        return;
    std::string name;
    if (!InPlaceName(QString(text).replace(QLatin1Char(' '), QLatin1Char('_')), false, name) || name == FParamModel->Row(row).name)
        return;
    const int entry = FParamModel->Row(row).entry;
    TXMLParams& params = item->Params();
    const std::string value(params.ValueFromIndex(entry));
    params.SetStrings(entry, name + "=" + value);
    FParamModel->SetRow(row, name, FParamModel->Row(row).value);
    FModified = true;
    UpdateActions();
}

void TfrmXMLDialog::lvxmlDblClick()
{
    if (TimerUpdate->isActive())
        aSetValueExecute();
    else
        aEditEntryExecute();
}

bool TfrmXMLDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lvxml && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // The Enter that ends an in-place rename comes up from the editor: not ours.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && lvxml->hasFocus()) {
            Guarded([this] { aSetValueExecute(); });
            return true;
        }
    } else if (watched == lvxml && event->type() == QEvent::FocusIn && !lvxml->currentIndex().isValid()) {
        // The view makes its first row current when it gets the focus without one; only
        // the user's own pick may change the row and with it the result.
        {
            const QSignalBlocker quiet(lvxml->selectionModel());
            static_cast<QObject*>(lvxml)->event(event);
            lvxml->selectionModel()->clearCurrentIndex();
        }
        lvxml->viewport()->update();
        return true;
    } else if (watched == lvxml->viewport() && event->type() == QEvent::MouseButtonRelease) {
        // A click on the empty area below the rows makes the list the active side too.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            lvxmlClick();
    } else if (watched == lvxml->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            Guarded([this] { lvxmlDblClick(); });
            return true;
        }
    }
    return TStyleForm::eventFilter(watched, event);
}
