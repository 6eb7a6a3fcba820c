#pragma once

#include <QAction>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BusyIndicator.h"
#include "ECXMLParser.h"
#include "ProgramSetup.h"
#include "StyleForm.h"
#include "XMLGhost.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTableView;
class QTimer;
class QToolBar;
class QTreeView;
class TActionList;
class TMycoolBar;
class TPaintBox;
class TXMLParamModel;
class TXMLTreeModel;
class TXMLVisualizer;

// The selection dialog: the document's items as a tree, the current item's parameters
// as a list, and the dotted name of the pick as its result.
class TfrmXMLDialog : public TStyleForm {
    Q_OBJECT

public:
    // `arguments`: the command line after the program's name; the first is a file to open.
    explicit TfrmXMLDialog(const QStringList& arguments = {}, QWidget* parent = nullptr);
    // Stops play mode and writes the settings and the result back.
    ~TfrmXMLDialog() override;

    // The result that "Item" receives at exit; set by OK, emptied by Cancel.
    const QString& ResultItem() const { return FResultItem; }
    // True when the window's last word was OK (not undone by a later Cancel) and the pick
    // names what the document on disk holds.
    bool Accepted() const { return FAccepted; }
    // Why OK was no success: no document was loaded, or the pick went with changes the
    // user did not save; empty otherwise. "Item" and "Server" then keep their values.
    const QString& Refusal() const { return FRefusal; }

    // Clears the views and the document, loads FSource and reselects the current item.
    void LoadDocument();
    // Rebuilds the tree, selecting `keep`'s node (the selected item when none), else the
    // first node. Every node is expanded after a load; after an edit each node keeps
    // its expansion.
    void RebuildTree(TXMLItem* keep = nullptr, bool expandAll = false);
    void FillParamList();
    void UpdateActions();
    void UpdateResult();
    // Selects `node` in the tree and shows it.
    void SelectNode(const QModelIndex& node);
    // Expands every node of the tree.
    void ExpandAll();
    // Makes the tree's column wide enough for its deepest and longest nodes, so that a
    // narrow tree scrolls across to them.
    void FitTreeColumn();
    // The node of `item` in the tree, invalid when it has none.
    QModelIndex FindItemNode(const TXMLItem* item) const;
    // Asks whether to save a modified document; false keeps the window open.
    bool QuerySave();

    TECXMLParser XML;
    TXMLGhost XMLGhost;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    // Building the window.
    void CreateCommands();
    void CreateMenus();
    void CreateControls();
    QAction* Command(const char* name) const;
    void AddEntries(QWidget* target, const std::vector<const char*>& entries) const;
    void Execute(const char* name, std::function<void()> handler);

    // Views.
    void FormShow();
    void tvXMLChange();
    void tvXMLClick();
    void lvxmlChange();
    void lvxmlClick();
    void XMLLoaded();
    void XMLItemChanged();
    void UpdateHint(const QString& hint);
    // The window's help event: every help request of the window and its commands.
    bool FormHelp(int Command, qintptr Data, bool& CallHelp);
    void WriteSettings();

    // Diagram.
    void PageControl1Change(int index);
    void pbXMLMouseDown(int X, int Y);
    // Whether page 1, "Viewer", is the shown page.
    bool ViewerShowing() const;
    // Vis.SelectItem and Vis.Redraw. A pass may add missing colour entries to the
    // document, whose rebuild of the tree must not start another pass inside it.
    void VisSelectItem(TXMLItem* item);
    void VisRedraw();
    void DrawDiagram(const std::function<void()>& pass);

    // File commands.
    void aSelectServerExecute();
    void aNewFileExecute();
    void aLoadExecute();
    void asaveExecute();
    void aSaveAsExecute();
    void aStyleSheetExecute();
    // Editing.
    void aAddExecute();
    void aDeleteExecute();
    void aEditEntryExecute();
    void aMoveUpExecute();
    void aMoveDownExecute();
    // Moves the current item (`onTree`) or the selected row's entry by `step` places.
    void MoveEntry(bool onTree, int step);
    void aSetValueExecute();
    void tvXMLEdited(TXMLItem* item, const QString& text);
    void lvxmlEdited(int row, const QString& text);
    void lvxmlDblClick();
    // False when the user answers No to `question`, asked only when `ask`.
    bool Confirmed(bool ask, const QString& question);
    // The item of the selected node, or none.
    TXMLItem* SelectedItem() const;
    // The selected row of the list, -1 when none.
    int SelectedRow() const;
    // Filter.
    void aFilterExecute();
    void aAddFilterExecute();
    void aDelFilterExecute();
    void cbfilterChosen(int index);
    // Play mode.
    void aPlayExecute();
    void aStopExecute();
    void Refresh();
    void TimerUpdateTimer();
    // Result.
    void aOKExecute();
    void aCancelExecute();
    void acopytoclipboardExecute();
    // Setup: the switches the setup dialog confirmed, the line-feed switch given to the
    // document at once.
    void aPluginSetupExecute();

    // The document text of a name typed in place (an item's when `item`); false, the
    // refusal shown once the editor has closed, when the writer could not write it.
    bool InPlaceName(const QString& text, bool item, std::string& name);
    // After OK and the save question: refuses the pick when no document is loaded, or
    // when the changes were not saved and the file lacks the picked item or parameter.
    void CheckPickOnDisk();
    // Loads the document again from `file` when it can be read whole; false, the document
    // as it was, when the file was changing or stops inside open elements.
    bool ReloadWhole(const std::filesystem::path& file);
    QString ResultText() const;
    void SetResultText(const QString& text);
    void SetStatusPanel(const QString& text);
    // The busy cursor and `text` in the status bar while long work runs; none during play
    // mode's ticks, which would flicker twice a second.
    std::optional<TBusyIndicator> Busy(const QString& text);
    // The document's file for the status texts.
    QString DocumentName() const;

    QString FSource;
    QString FFileName;
    std::string FItemPath;
    std::string FParamName;
    QString FResultItem;
    TXMLItem* FCurrentItem = nullptr;
    bool FModified = false;
    bool FUpdating = false;
    bool FTreeActive = false;
    bool FAskDelete = false;
    bool FAskChange = false;
    bool FUseLfString = false;
    bool FUseFullItem = false;
    bool FAccepted = false;
    QString FRefusal;
    bool FShown = false;
    // Play mode's timer is reading the file again.
    bool FTicking = false;
    // A refresh is reading the file again: the tree it shows is kept refittable.
    bool FRefreshing = false;
    // A pass of the diagram is running.
    bool FDrawingDiagram = false;
    // The tree has been rebuilt since the diagram's last pass: items the diagram knows,
    // its selection among them, may have been destroyed.
    bool FDiagramOutdated = false;
    // While the first show reads the document, the tree is shown once at the end rather
    // than for each of its two loads.
    bool FDeferTree = false;
    QStringList FArguments;
    std::unique_ptr<TProgramSetup> FSetup;

    TActionList* ActionList1;
    QHash<QString, QAction*> FCommands;
    TMycoolBar* CoolBar1;
    QToolBar* ToolBar6;
    QToolBar* ToolBar1;
    QToolBar* ToolBar7;
    QComboBox* cbfilter;
    QLineEdit* eitem;
    QSplitter* Splitter1;
    QTreeView* tvXML;
    TXMLTreeModel* FTreeModel;
    QTabWidget* PageControl1;
    QWidget* tsbrowser;
    QWidget* tsViewer;
    QTableView* lvxml;
    TXMLParamModel* FParamModel;
    QScrollArea* sbXML;
    TPaintBox* pbXML;
    TXMLVisualizer* Vis;
    QStatusBar* StatusBar1;
    QLabel* FStatusPanel;
    QMenu* puXMLTree;
    QTimer* TimerUpdate;
};

// Runs the dialog until it closes; after OK prints the result as one UTF-8 line to `out`
// and gives 0, otherwise 1.
int ExecuteSelectionDialog(const QStringList& arguments, std::FILE* out);
