#include "DlgSelvane.h"

#include <QApplication>
#include <QComboBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <cstdio>
#include <unordered_set>

#include "ActionList.h"
#include "ComponentSettings.h"
#include "DlgXMLSetup.h"
#include "DocumentText.h"
#include "Exceptions.h"
#include "HelpBridge.h"
#include "HelpIntegration.h"
#include "HtmlHelp.h"
#include "MatchMask.h"
#include "MessageForm.h"
#include "MycoolBar.h"
#include "PaintBox.h"
#include "ProductData.h"
#include "ProgramData.h"
#include "SelvaneApplication.h"
#include "ThemeIcon.h"
#include "XMLItemPath.h"
#include "stdAbout.h"
#include "XMLParamModel.h"
#include "XMLTreeModel.h"
#include "XMLVisualizer.h"

namespace {

struct TCommandDesign {
    const char* name;
    const char* caption;
    const char* hint;
    const char* shortcut;
    const char* themeIcon;
    QStyle::StandardPixmap fallbackIcon;
};

constexpr TCommandDesign Commands[] = {
    {"aSelectServer", "Select XML...", "Opens the select XML dialog", "", "document-open-remote", QStyle::SP_DirOpenIcon},
    {"aOK", "OK", "Save the changes and close the dialog", "", "dialog-ok", QStyle::SP_DialogOkButton},
    {"aCancel", "Cancel", "Cancel the change and close the dialog", "", "dialog-cancel", QStyle::SP_DialogCancelButton},
    {"aNewFile", "New", "Save the changes and creates a new XML file", "", "document-new", QStyle::SP_FileIcon},
    {"aLoad", "Load...", "Loads a  XML file from disk", "", "document-open", QStyle::SP_DialogOpenButton},
    {"asave", "Save", "Save the  XML file to disk", "", "document-save", QStyle::SP_DialogSaveButton},
    {"aSaveAs", "Save As...", "Saves the XML file under a diferent filename", "", "document-save-as", QStyle::SP_DriveFDIcon},
    {"aStyleSheet", "Style Sheet...", "", "", "text-x-generic", QStyle::SP_FileDialogDetailedView},
    {"aAdd", "Add Item", "Adds a new item", "", "list-add", QStyle::SP_FileDialogNewFolder},
    {"aDelete", "Delete Item", "Deletes the selected item", "", "list-remove", QStyle::SP_TrashIcon},
    {"aEditEntry", "Edit Entry...", "Opens the edit entry dialog", "", "document-edit", QStyle::SP_FileDialogContentsView},
    {"aMoveUp", "Move Up", "Moves the item a position up", "", "go-up", QStyle::SP_ArrowUp},
    {"aMoveDown", "Move Down", "Moves the selected item aposition down", "", "go-down", QStyle::SP_ArrowDown},
    {"aSetValue", "Set Value...", "Opens a input box and let you change the value", "Ctrl+V", "edit-rename", QStyle::SP_FileDialogInfoView},
    {"aPlay", "Play", "Starts the play mode", "Ctrl+P", "media-playback-start", QStyle::SP_MediaPlay},
    {"aStop", "Stop", "Stops the play mode", "Ctrl+S", "media-playback-stop", QStyle::SP_MediaStop},
    {"aRefresh", "Refresh", "Refresh the Data", "", "view-refresh", QStyle::SP_BrowserReload},
    {"aFilter", "Use Filter", "Aplys the filter for the item list", "Ctrl+F", "view-filter", QStyle::SP_FileDialogListView},
    {"aAddFilter", "Add Filter", "Adds the filter to the filterlist", "", "list-add", QStyle::SP_ArrowRight},
    {"aDelFilter", "Delete Filter", "Deletes the selected filter from the list", "", "list-remove", QStyle::SP_DialogDiscardButton},
    {"acopytoclipboard", "Item to Clipboard", "Copy the name of the item to the clipboard", "Ctrl+C", "edit-copy", QStyle::SP_FileLinkIcon},
    {"aPluginSetup", "Setup...", "Open the setup dialog", "", "preferences-system", QStyle::SP_ComputerIcon},
    {"aAbout", "About...", "", "", "help-about", QStyle::SP_MessageBoxInformation},
    {"ahelp", "Help", "Shows the Help file", "", "help-contents", QStyle::SP_DialogHelpButton},
    {"aPaste", "Paste", "", "", "edit-paste", QStyle::SP_FileDialogBack},
};

// Upper case of the letters a to z only, as the filter compares.
std::string AsciiUpper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

} // namespace

TfrmXMLDialog::TfrmXMLDialog(const QStringList& arguments, QWidget* parent)
    : TStyleForm(parent), FArguments(arguments)
{
    setObjectName(QStringLiteral("TfrmXMLDialog"));
    setWindowTitle(QStringLiteral("Selvane"));
    setWindowFlags(Qt::Window);
    resize(699, 526);
    XMLGhost.SetPrimaryDocument(&XML);
    XML.SetCrLfInAsString(false);
    XML.XMLItemChanged = [this](TECXMLParser*, TXMLItem*) { XMLItemChanged(); };
    XML.OnLoaded = XML.OnCleared = XML.OnSaved = [this](TECXMLParser*) { XMLLoaded(); };

    CreateCommands();
    CreateControls();
    CreateMenus();
    FinishCreate();

    if (const auto* application = qobject_cast<TSelvaneApplication*>(QCoreApplication::instance()))
        SetHelpTarget(this, ProgramDataFolder(QFileInfo(HelpCollectionOf(application->HelpFile)).fileName()) + application->HelpFile);

    // Settings: defaults first, so that a missing or mistyped value leaves them.
    FSetup = std::make_unique<TProgramSetup>("Software\\Velmarco\\XML");
    FAskDelete = FAskChange = FUseFullItem = true;
    FUseLfString = false;
    FSetup->ReadBool("ASKDELETE", FAskDelete);
    FSetup->ReadBool("ASKCHANGE", FAskChange);
    FSetup->ReadBool("USELFSTRING", FUseLfString);
    FSetup->ReadBool("USEFULLITEM", FUseFullItem);
    XML.SetCrLfInAsString(FUseLfString);
    std::string text;
    if (FSetup->ReadString("Server", text))
        FSource = QString::fromStdString(text);
    text.clear();
    if (FSetup->ReadString("Item", text))
        FResultItem = QString::fromStdString(text);
    text.clear();
    FSetup->ReadString("Filter", text);
    QStringList filters = QString::fromStdString(text).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (!filters.isEmpty() && filters.constLast().isEmpty())
        filters.removeLast();
    cbfilter->addItems(filters);
    cbfilter->setCurrentIndex(-1);
    UpdateActions();
}

TfrmXMLDialog::~TfrmXMLDialog()
{
    // Destroying the controls moves the focus and changes selections; none of that may
    // reach a handler of this window, whose parts are going.
    disconnect(qApp, nullptr, this, nullptr);
    for (QObject* child : findChildren<QObject*>()) {
        disconnect(child, nullptr, this, nullptr);
        child->removeEventFilter(this);
    }
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(tvXML), static_cast<QAbstractItemView*>(lvxml)})
        if (view->selectionModel())
            disconnect(view->selectionModel(), nullptr, this, nullptr);
    aStopExecute();
    WriteSettings();
    FTreeModel->Detach();
}

void TfrmXMLDialog::WriteSettings()
{
    QStringList filters;
    for (int i = 0; i < cbfilter->count(); ++i)
        filters << cbfilter->itemText(i) + QStringLiteral("\r\n");
    // One failed value does not keep the others from being written.
    // "Server" names the file wherever the next start runs from. After an OK that could
    // hand over nothing, both keep what they held.
    const bool result = FRefusal.isEmpty();
    const QString server = FSource.isEmpty() ? FSource : QFileInfo(FSource).absoluteFilePath();
    const std::pair<const char*, std::function<void()>> writes[] = {
        {"Server", [&] { if (result) FSetup->WriteString("Server", server.toStdString()); }},
        {"Item", [&] { if (result) FSetup->WriteString("Item", FResultItem.toStdString()); }},
        {"Filter", [&] { FSetup->WriteString("Filter", filters.join(QString()).toStdString()); }},
        {"ASKCHANGE", [&] { FSetup->WriteBool("ASKCHANGE", FAskChange); }},
        {"ASKDELETE", [&] { FSetup->WriteBool("ASKDELETE", FAskDelete); }},
        {"USEFULLITEM", [&] { FSetup->WriteBool("USEFULLITEM", FUseFullItem); }},
        {"USELFSTRING", [&] { FSetup->WriteBool("USELFSTRING", FUseLfString); }},
    };
    // The values share one file: what keeps one from being stored mostly keeps them all,
    // so the first reason is told once, with the number of values it cost.
    // They are stored together, so that of two windows closing at once the last one's
    // values stand whole.
    QString failure;
    int failed = 0;
    FSetup->BeginUpdate();
    for (const auto& [name, write] : writes) {
        try {
            write();
        } catch (const std::exception& error) {
            if (failed++ == 0)
                failure = QString::fromUtf8(error.what());
        }
    }
    try {
        FSetup->EndUpdate();
    } catch (const std::exception& error) {
        if (failed == 0)
            failure = QString::fromUtf8(error.what());
        failed = static_cast<int>(std::size(writes));
    }
    if (failed == 0)
        return;
    if (failed > 1)
        failure += QStringLiteral("\n%1 of the %2 settings were not stored.").arg(failed).arg(std::size(writes));
    std::fprintf(stderr, "selvane: %s\n", failure.toUtf8().constData());
    ShowException(failure);
}

QAction* TfrmXMLDialog::Command(const char* name) const { return FCommands.value(QString::fromUtf8(name)); }

void TfrmXMLDialog::Execute(const char* name, std::function<void()> handler)
{
    connect(Command(name), &QAction::triggered, this, [handler = std::move(handler)] { Guarded(handler); });
}

void TfrmXMLDialog::CreateCommands()
{
    ActionList1 = new TActionList(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    for (const TCommandDesign& design : Commands) {
        auto* action = new QAction(QString::fromUtf8(design.caption), ActionList1);
        action->setObjectName(QString::fromUtf8(design.name));
        action->setStatusTip(QString::fromUtf8(design.hint));
        action->setToolTip(*design.hint ? QString::fromUtf8(design.hint) : action->text());
        action->setShortcut(QKeySequence(QString::fromUtf8(design.shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
        action->setIcon(ThemeIcon(QString::fromUtf8(design.themeIcon), style(), design.fallbackIcon));
        FCommands.insert(action->objectName(), action);
        addAction(action);
    }
    Command("aFilter")->setCheckable(true);
    // The designed help settings, which the translation replaces by each command's own.
    SetHelpKeyword(Command("aAdd"), QStringLiteral("aAddItem"));
    SetHelpContext(Command("aAdd"), 66);
    SetHelpContext(Command("aPlay"), 210);

    Execute("aSelectServer", [this] { aSelectServerExecute(); });
    Execute("aOK", [this] { aOKExecute(); });
    Execute("aCancel", [this] { aCancelExecute(); });
    Execute("aNewFile", [this] { aNewFileExecute(); });
    Execute("aLoad", [this] { aLoadExecute(); });
    Execute("asave", [this] { asaveExecute(); });
    Execute("aSaveAs", [this] { aSaveAsExecute(); });
    Execute("aStyleSheet", [this] { aStyleSheetExecute(); });
    Execute("acopytoclipboard", [this] { acopytoclipboardExecute(); });
    Execute("aAdd", [this] { aAddExecute(); });
    Execute("aDelete", [this] { aDeleteExecute(); });
    Execute("aEditEntry", [this] { aEditEntryExecute(); });
    Execute("aMoveUp", [this] { aMoveUpExecute(); });
    Execute("aMoveDown", [this] { aMoveDownExecute(); });
    Execute("aSetValue", [this] { aSetValueExecute(); });
    Execute("aFilter", [this] { aFilterExecute(); });
    Execute("aAddFilter", [this] { aAddFilterExecute(); });
    Execute("aDelFilter", [this] { aDelFilterExecute(); });
    Execute("aPlay", [this] { aPlayExecute(); });
    Execute("aStop", [this] { aStopExecute(); });
    Execute("aRefresh", [this] { Refresh(); });
    Execute("aPluginSetup", [this] { aPluginSetupExecute(); });
    Execute("aAbout", [this] { ShowAboutBox({QStringLiteral("http://" SELVANE_WEB_ADDRESS)}, 20, this); });
    Execute("ahelp", [] { ShowContents(); });
}

void TfrmXMLDialog::AddEntries(QWidget* target, const std::vector<const char*>& entries) const
{
    // A null entry is a separator.
    for (const char* entry : entries) {
        QAction* action = entry ? Command(entry) : new QAction(target);
        if (!entry)
            action->setSeparator(true);
        target->addAction(action);
    }
}

void TfrmXMLDialog::CreateMenus()
{
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MainMenu"));
    layout()->setMenuBar(menuBar);
    const std::pair<const char*, std::vector<const char*>> menus[] = {
        {"Data", {"aSelectServer", nullptr, "aOK", "aCancel"}},
        {"File", {"aNewFile", nullptr, "aLoad", "asave", "aSaveAs", nullptr, "aStyleSheet"}},
        {"Edit", {"aAdd", "aDelete", "aEditEntry", nullptr, "aMoveUp", "aMoveDown"}},
        {"Options", {"aPlay", "aStop", "aSetValue", nullptr, "aRefresh", nullptr, "acopytoclipboard", nullptr, "aPluginSetup"}},
        {"Filter", {"aAddFilter", "aDelFilter", nullptr, "aFilter"}},
        {"Help", {"aAbout", nullptr, "ahelp"}},
    };
    for (const auto& [title, entries] : menus) {
        QMenu* menu = menuBar->addMenu(QString::fromUtf8(title));
        menu->setObjectName(QString::fromUtf8(title));
        AddEntries(menu, entries);
    }

    puXMLTree = new QMenu(this);
    puXMLTree->setObjectName(QStringLiteral("puXMLTree"));
    AddEntries(puXMLTree, {"aAdd", "aEditEntry", "aDelete", nullptr, "aMoveUp", "aMoveDown"});
}

void TfrmXMLDialog::CreateControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The tool band; the bands take as many rows as the window's width needs.
    CoolBar1 = new TMycoolBar(this);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    auto toolBar = [this](const char* name, const std::vector<const char*>& entries) {
        auto* bar = new QToolBar(CoolBar1);
        bar->setObjectName(QString::fromUtf8(name));
        bar->setMovable(false);
        bar->setIconSize(QSize(16, 16));
        AddEntries(bar, entries);
        return bar;
    };
    ToolBar6 = toolBar("ToolBar6", {"aSelectServer", nullptr, "aPaste", "aCancel", nullptr, "aPlay", "aStop", "aRefresh", nullptr,
                                    "aNewFile", "aLoad", "asave", "aSaveAs", nullptr, "aSetValue", "acopytoclipboard", nullptr});
    ToolBar1 = toolBar("ToolBar1", {"aAdd", "aDelete", "aEditEntry", nullptr, "aMoveUp", "aMoveDown"});
    ToolBar7 = toolBar("ToolBar7", {"aFilter"});
    cbfilter = new QComboBox(ToolBar7);
    cbfilter->setObjectName(QStringLiteral("cbfilter"));
    cbfilter->setEditable(true);
    cbfilter->setInsertPolicy(QComboBox::NoInsert);
    // 130 pixels wide, and wider with its band.
    cbfilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbfilter->setMinimumWidth(130);
    cbfilter->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    cbfilter->setToolTip(QStringLiteral("Filter list"));
    cbfilter->setStatusTip(QStringLiteral("Filter list"));
    ToolBar7->addWidget(cbfilter);
    ToolBar7->addAction(Command("aAddFilter"));
    ToolBar7->addAction(Command("aDelFilter"));
    eitem = new QLineEdit(CoolBar1);
    eitem->setObjectName(QStringLiteral("eitem"));
    eitem->setFixedWidth(0);
    eitem->setFrame(false);
    for (QWidget* band : std::initializer_list<QWidget*>{ToolBar6, ToolBar1, ToolBar7, eitem})
        CoolBar1->AddBand(band);
    layout->addWidget(CoolBar1);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Splitter1->setChildrenCollapsible(false);
    tvXML = new QTreeView(Splitter1);
    tvXML->setObjectName(QStringLiteral("tvXML"));
    SetHelpKeyword(tvXML, QStringLiteral("aviewer"));
    tvXML->setHeaderHidden(true);
    tvXML->setIndentation(19);
    tvXML->setUniformRowHeights(true);
    tvXML->setContextMenuPolicy(Qt::CustomContextMenu);
    FTreeModel = new TXMLTreeModel(this);
    // A rename rebuilds the whole tree, so it runs once the editor has closed.
    FTreeModel->OnRename = [this](TXMLItem* item, const QString& text) {
        QTimer::singleShot(0, this, [this, item, text] { Guarded([&] { tvXMLEdited(item, text); }); });
    };
    tvXML->setModel(FTreeModel);

    PageControl1 = new QTabWidget(Splitter1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    tsbrowser = new QWidget;
    tsbrowser->setObjectName(QStringLiteral("tsbrowser"));
    auto* browserLayout = new QVBoxLayout(tsbrowser);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    lvxml = new QTableView(tsbrowser);
    lvxml->setObjectName(QStringLiteral("lvxml"));
    SetHelpKeyword(lvxml, QStringLiteral("abrowser"));
    FParamModel = new TXMLParamModel(this);
    FParamModel->OnRename = [this](int row, const QString& text) { Guarded([&] { lvxmlEdited(row, text); }); };
    lvxml->setModel(FParamModel);
    lvxml->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvxml->setSelectionMode(QAbstractItemView::SingleSelection);
    lvxml->setShowGrid(true);
    lvxml->setWordWrap(false);
    lvxml->setContextMenuPolicy(Qt::CustomContextMenu);
    lvxml->verticalHeader()->hide();
    lvxml->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvxml->verticalHeader()->setDefaultSectionSize(lvxml->fontMetrics().height() + 4);
    lvxml->horizontalHeader()->setStretchLastSection(true);
    lvxml->horizontalHeader()->resizeSection(0, 163);
    browserLayout->addWidget(lvxml);
    PageControl1->addTab(tsbrowser, QStringLiteral("Browser"));

    tsViewer = new QWidget;
    tsViewer->setObjectName(QStringLiteral("tsViewer"));
    auto* viewerLayout = new QVBoxLayout(tsViewer);
    viewerLayout->setContentsMargins(0, 0, 0, 0);
    sbXML = new QScrollArea(tsViewer);
    sbXML->setObjectName(QStringLiteral("sbXML"));
    sbXML->setBackgroundRole(QPalette::Base);
    sbXML->setStyleSheet(QStringLiteral("QScrollArea#sbXML, QWidget#pbXML { background: white; }"));
    pbXML = new TPaintBox;
    pbXML->setObjectName(QStringLiteral("pbXML"));
    SetHelpKeyword(pbXML, QStringLiteral("abrowserview"));
    pbXML->resize(176, 150);
    sbXML->setWidget(pbXML);
    pbXML->OnMouseDown = [this](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) { pbXMLMouseDown(X, Y); };
    viewerLayout->addWidget(sbXML);
    PageControl1->addTab(tsViewer, QStringLiteral("Viewer"));
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({185, 510});
    layout->addWidget(Splitter1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    FStatusPanel = new QLabel(StatusBar1);
    FStatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    FStatusPanel->setMinimumWidth(50);
    StatusBar1->addWidget(FStatusPanel, 1);
    layout->addWidget(StatusBar1);

    // The diagram of the working document, coloured by the sets the document holds.
    Vis = new TXMLVisualizer(this);
    Vis->setObjectName(QStringLiteral("Vis"));
    Vis->SetXMLParser(&XML);
    Vis->SetXMLColors(&XML);
    Vis->SetPaintBox(pbXML);
    Vis->SetRowHeight(70);
    Vis->SetColWidth(100);
    Vis->SetDefaultColorName("BorderColor");
    Vis->SetDefaultBorder(clBlack);
    Vis->SetDefaultBackground(clAqua);
    Vis->SetDefaultFont(clBlack);
    Vis->SetBackgroundColor(clWhite);
    Vis->SetBorderColorName("BorderColor");
    Vis->SetBackgroundColorName("BackgroundColor");
    Vis->SetFontColorName("FontColor");
    Vis->SetItemColorName("ColorCode");
    Vis->SetConnectionLineName("ConnectionLine");
    Vis->SetSelectedColorSet("BorderColor");
    Vis->SetRedrawOnSelectChanged(true);

    TimerUpdate = new QTimer(this);
    TimerUpdate->setObjectName(QStringLiteral("TimerUpdate"));
    TimerUpdate->setInterval(500);
    connect(TimerUpdate, &QTimer::timeout, this, [this] { TimerUpdateTimer(); });

    connect(tvXML->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { Guarded([this] { tvXMLChange(); }); });
    connect(tvXML, &QTreeView::clicked, this, [this] { tvXMLClick(); });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) { Guarded([&] { PageControl1Change(index); }); });
    connect(tvXML, &QTreeView::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = tvXML->indexAt(at);
        if (index.isValid())
            tvXML->setCurrentIndex(index);
        puXMLTree->popup(tvXML->viewport()->mapToGlobal(at));
    });
    connect(lvxml->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { Guarded([this] { lvxmlChange(); }); });
    connect(lvxml, &QTableView::customContextMenuRequested, this,
            [this](const QPoint& at) { puXMLTree->popup(lvxml->viewport()->mapToGlobal(at)); });
    lvxml->installEventFilter(this);
    lvxml->viewport()->installEventFilter(this);
    // Set Value in play mode follows the list's input focus.
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
    connect(cbfilter, &QComboBox::activated, this, [this](int index) { Guarded([&] { cbfilterChosen(index); }); });
    connect(cbfilter->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        Guarded([this] {
            if (Command("aFilter")->isChecked())
                FillParamList();
        });
    });
}

void TfrmXMLDialog::showEvent(QShowEvent* event)
{
    TStyleForm::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // The first show may open the source dialog: run it once the window is up.
    QTimer::singleShot(0, this, [this] { Guarded([this] { FormShow(); }); });
}

void TfrmXMLDialog::FormShow()
{
    PageControl1->setCurrentIndex(0);
    if (!FSetup->Error().empty())
        MessageDialog(QStringLiteral("Cannot open the settings. ") + QString::fromStdString(FSetup->Error())
                          + QStringLiteral("\nThe program uses its default settings and leaves the file as it is."),
                      mtWarning, Btn(mbOK));
    if (!FArguments.isEmpty()) {
        FFileName = FArguments.constFirst();
        FSource = FFileName;
        FResultItem.clear();
    }
    if (!FResultItem.isEmpty()) {
        SetResultText(FResultItem);
        SetStatusPanel(FResultItem);
        std::string result;
        if (ToDocumentText(FResultItem, result)) {
            FItemPath = ItemPathOf(result);
            FParamName = ParamNameOf(result);
        }
        FResultItem.clear();
    }
    if (FSource.isEmpty())
        aSelectServerExecute();
    else
        LoadDocument();
    FTreeActive = true;
    // The commands follow the node the load selected.
    UpdateActions();
}

void TfrmXMLDialog::LoadDocument()
{
    std::optional<TBusyIndicator> busy = Busy(QStringLiteral("Reading ") + DocumentName() + QStringLiteral("…"));
    tvXML->setUpdatesEnabled(false);
    FUpdating = true;
    try {
        FTreeModel->Detach();
        FParamModel->SetRows({});
        XML.Clear();
        XMLGhost.Clear();
        // The clear destroyed every item but the root, the current one among them.
        FCurrentItem = nullptr;
        if (!FSource.isEmpty()) {
            const std::filesystem::path file = FSource.toStdU16String();
            {
                // The file is read twice, the second time through the ghost: the first
                // tree is gone before anything is painted, and the second reading goes
                // into the memory of the first.
                FDeferTree = true;
                const auto shown = qScopeGuard([this] { FDeferTree = false; });
                const TECXMLParser::TKeepReadMemory readAgain(XML);
                XML.LoadFromFile(file);
                VisSelectItem(XML.Root());
                XMLGhost.LoadFromFile(file);
            }
            RebuildTree(nullptr, true);
            FCurrentItem = FindItemByPath(&XML, FItemPath);
        }
        FFileName = FSource;
        setWindowTitle(QStringLiteral("XML Dialog") + QStringLiteral(" : ") + FSource);
    } catch (const std::exception& error) {
        // The views show the cleared document, never a tree the user did not get whole.
        XML.Clear();
        XMLGhost.Clear();
        RebuildTree();
        busy.reset();
        const auto* open = dynamic_cast<const EFOpenError*>(&error);
        const QString reason = QString::fromUtf8(open ? open->Reason() : error.what());
        MessageDialog(QStringLiteral("Cannot find file :") + FSource + QLatin1Char('\n') + reason, mtError, Btn(mbOK));
        FSource.clear();
        FFileName.clear();
        FCurrentItem = nullptr;
    }
    tvXML->setUpdatesEnabled(true);
    if (FCurrentItem) {
        SelectNode(FindItemNode(FCurrentItem));
        FillParamList();
    }
    FModified = false;
    UpdateActions();
    FUpdating = false;
    // Until the next pick, the status bar tells that the text was converted.
    if (!XML.LoadedEncoding().empty())
        SetStatusPanel(QStringLiteral("Converted from %1 into the code page Windows-1252, in which a save writes it")
                           .arg(QString::fromStdString(XML.LoadedEncoding())));
}

void TfrmXMLDialog::RebuildTree(TXMLItem* keep, bool expandAll)
{
    // Every change that may destroy items comes here, a load that failed half way too.
    FDiagramOutdated = true;
    // A refresh that read a tree of the same shape, as play mode does twice a second,
    // keeps the view's rows, open nodes and place: the nodes only take the new items,
    // which saves laying out every row again, and the selected node keeps its place. The
    // selection handler does not run in a refresh, so nothing else tells the difference.
    const bool refresh = expandAll && FRefreshing;
    const bool refitted = refresh && FTreeModel->Refit(XML.Root());
    if (!keep)
        keep = FTreeModel->ItemOf(tvXML->currentIndex());
    // The items of the open nodes, compared by address only: some may be gone already.
    std::unordered_set<const TXMLItem*> open;
    if (!expandAll)
        for (const QModelIndex& node : FTreeModel->ParentNodes())
            if (tvXML->isExpanded(node))
                open.insert(FTreeModel->ItemOf(node));
    // Otherwise the tree may still show items that are gone: it lets go of them before
    // the busy text is painted, and the views paint again once they are rebuilt.
    if (!refitted)
        FTreeModel->Detach();
    Splitter1->setUpdatesEnabled(false);
    const std::optional<TBusyIndicator> busy = Busy(QStringLiteral("Showing ") + DocumentName() + QStringLiteral("…"));
    if (!refitted)
        FTreeModel->Rebuild(XML.Root(), refresh);
    // Expanded before the view lays its rows out again, which it then does once.
    if (expandAll) {
        ExpandAll();
    } else {
        for (const QModelIndex& node : FTreeModel->ParentNodes())
            if (open.contains(FTreeModel->ItemOf(node)))
                tvXML->expand(node);
    }
    FitTreeColumn();
    // The diagram is not told when items are destroyed: a selection that went with them
    // is dropped at once.
    if (Vis->SelectedItem() && !FindItemNode(Vis->SelectedItem()).isValid()) {
        Vis->SetRedrawOnSelectChanged(false);
        Vis->SelectItem(nullptr);
        Vis->SetRedrawOnSelectChanged(true);
    }
    QModelIndex node = FindItemNode(keep);
    if (!node.isValid())
        node = FTreeModel->index(0, 0);
    SelectNode(node);
    Splitter1->setUpdatesEnabled(true);
}

void TfrmXMLDialog::SelectNode(const QModelIndex& node)
{
    tvXML->setCurrentIndex(node);
    // As a tree view does on selecting: the node's parents open and it scrolls into view,
    // across too, so that a deep node's text shows.
    if (!node.isValid())
        return;
    tvXML->scrollTo(node);
    const QRect row = tvXML->visualRect(node);
    if (row.left() < 0 || row.left() >= tvXML->viewport()->width())
        tvXML->horizontalScrollBar()->setValue(tvXML->horizontalScrollBar()->value() + row.left() - tvXML->indentation());
}

void TfrmXMLDialog::FitTreeColumn()
{
    // Measured on the longest text of each depth, which stands for the widest there.
    const QFontMetrics metrics(tvXML->font());
    int width = 0;
    for (const QModelIndex& node : FTreeModel->LongestNodes()) {
        int depth = 1;
        for (QModelIndex parent = node.parent(); parent.isValid(); parent = parent.parent())
            ++depth;
        width = std::max(width, depth * tvXML->indentation() + metrics.horizontalAdvance(node.data().toString()) + 4 * metrics.averageCharWidth());
    }
    tvXML->header()->setMinimumSectionSize(width);
}

void TfrmXMLDialog::ExpandAll()
{
    // Only the nodes with children are marked; the view lays its rows out once,
    // where expanding everything would also keep a handle on every leaf.
    for (const QModelIndex& node : FTreeModel->ParentNodes())
        tvXML->expand(node);
}

QModelIndex TfrmXMLDialog::FindItemNode(const TXMLItem* item) const
{
    return item ? FTreeModel->IndexOf(item) : QModelIndex();
}

void TfrmXMLDialog::FillParamList()
{
    FUpdating = true;
    lvxml->setUpdatesEnabled(false);
    std::vector<TXMLParamModel::TRow> rows;
    int selected = -1;
    // The pattern is read afresh at every fill. One the document text cannot hold
    // matches no name.
    const bool filtered = Command("aFilter")->isChecked();
    std::string pattern;
    const bool patternStorable = ToDocumentText(cbfilter->currentText(), pattern);
    pattern = AsciiUpper(pattern);
    if (FCurrentItem) {
        const TXMLParams& params = FCurrentItem->Params();
        rows.reserve(static_cast<size_t>(params.Count()));
        for (int i = 0; i < params.Count(); ++i) {
            const std::string_view entry = params.Strings(i);
            const std::string_view name = params.Names(i);
            // The value is the text from the second character after the name on.
            const size_t from = name.size() + 1;
            if (filtered && (!patternStorable || !MatchMask(pattern, AsciiUpper(name))))
                continue;
            rows.push_back({std::string(name), std::string(from < entry.size() ? entry.substr(from) : std::string_view()), i});
            if (name == FParamName)
                selected = static_cast<int>(rows.size()) - 1;
        }
    }
    FParamModel->SetRows(std::move(rows));
    if (selected >= 0)
        lvxml->setCurrentIndex(FParamModel->index(selected, 0));
    lvxml->setUpdatesEnabled(true);
    FUpdating = false;
}

void TfrmXMLDialog::UpdateActions()
{
    const bool playing = TimerUpdate->isActive();
    const bool selected = FTreeActive ? tvXML->currentIndex().isValid() : lvxml->currentIndex().isValid();
    auto enable = [this](const char* name, bool enabled) { Command(name)->setEnabled(enabled); };
    enable("aStop", playing);
    for (const char* name : {"aPlay", "aRefresh", "aFilter", "aAdd"})
        enable(name, !playing);
    cbfilter->setEnabled(!playing);
    enable("aSetValue", playing && lvxml->hasFocus());
    enable("asave", FModified);
    for (const char* name : {"aDelete", "aEditEntry", "aMoveUp", "aMoveDown"})
        enable(name, !playing && selected);
    FTreeModel->Editable = FParamModel->Editable = !playing;
    const auto triggers = playing ? QAbstractItemView::NoEditTriggers : QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked;
    tvXML->setEditTriggers(triggers);
    lvxml->setEditTriggers(triggers);
    // Paste is shown, but has no behaviour.
    enable("aPaste", false);
}

void TfrmXMLDialog::UpdateResult()
{
    std::string result = FTreeActive ? FItemPath : FParamName;
    if (FUseFullItem)
        result = JoinItemPath(FItemPath, FParamName);
    SetResultText(FromDocumentText(result));
    SetStatusPanel(ResultText());
}

QString TfrmXMLDialog::ResultText() const { return eitem->text(); }

void TfrmXMLDialog::SetResultText(const QString& text) { eitem->setText(text); }

void TfrmXMLDialog::SetStatusPanel(const QString& text) { FStatusPanel->setText(text); }

std::optional<TBusyIndicator> TfrmXMLDialog::Busy(const QString& text)
{
    if (FTicking)
        return std::nullopt;
    return std::optional<TBusyIndicator>(std::in_place, FStatusPanel, text);
}

QString TfrmXMLDialog::DocumentName() const { return FSource.isEmpty() ? QStringLiteral("the new document") : FSource; }

void TfrmXMLDialog::UpdateHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    const QString longHint = bar < 0 ? hint : hint.mid(bar + 1);
    SetStatusPanel(longHint.isEmpty() ? ResultText() : longHint);
}

bool TfrmXMLDialog::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        UpdateHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    if (event->type() == THelpCommandEvent::EventType()) {
        auto* help = static_cast<THelpCommandEvent*>(event);
        help->accept();
        FormHelp(help->Command, help->Data, help->CallHelp);
        return true;
    }
    return TStyleForm::event(event);
}

bool TfrmXMLDialog::FormHelp(int Command, qintptr Data, bool& CallHelp) { return HelpHandler(Command, Data, CallHelp); }

void TfrmXMLDialog::aPluginSetupExecute()
{
    TSetupFlags flags{FAskDelete, FAskChange, FUseLfString, FUseFullItem};
    if (!ExecuteSetupDialog(flags, this))
        return;
    FAskDelete = flags.AskDelete;
    FAskChange = flags.AskChange;
    FUseLfString = flags.UseLfString;
    FUseFullItem = flags.UseFullItem;
    XML.SetCrLfInAsString(FUseLfString);
}

void TfrmXMLDialog::tvXMLChange()
{
    if (FUpdating)
        return;
    FTreeActive = true;
    FCurrentItem = nullptr;
    const QModelIndex node = tvXML->currentIndex();
    if (node.isValid()) {
        FParamName.clear();
        FItemPath.clear();
        FCurrentItem = FTreeModel->ItemOf(node);
        if (ViewerShowing())
            VisSelectItem(FCurrentItem);
        // From the items' own parents: deep nodes stand under an ancestor, not their
        // parent. A repeated name carries its place among its siblings.
        FItemPath = ItemFullPath(FCurrentItem);
        FillParamList();
    }
    UpdateActions();
    UpdateResult();
}

void TfrmXMLDialog::tvXMLClick()
{
    FTreeActive = true;
    UpdateActions();
}

void TfrmXMLDialog::lvxmlChange()
{
    if (FUpdating || !lvxml->currentIndex().isValid())
        return;
    FTreeActive = false;
    FParamName = FParamModel->Row(lvxml->currentIndex().row()).name;
    UpdateResult();
    UpdateActions();
}

void TfrmXMLDialog::lvxmlClick()
{
    FTreeActive = false;
    UpdateActions();
}

void TfrmXMLDialog::XMLLoaded()
{
    if (FDeferTree)
        FDiagramOutdated = true;
    else
        RebuildTree(nullptr, true);
    FModified = false;
}

void TfrmXMLDialog::XMLItemChanged()
{
    FModified = true;
    RebuildTree();
}

bool TfrmXMLDialog::ViewerShowing() const { return PageControl1->currentIndex() == 1; }

void TfrmXMLDialog::PageControl1Change(int index)
{
    if (index != 1)
        return;
    VisSelectItem(FCurrentItem);
    VisRedraw();
}

void TfrmXMLDialog::pbXMLMouseDown(int X, int Y)
{
    try {
        // The diagram is not told when items are destroyed. Before a hit test its
        // selection must be an item of the tree, and its boxes those of the tree as it is.
        TXMLItem* selected = Vis->SelectedItem();
        if (FDiagramOutdated || (selected && !FindItemNode(selected).isValid()))
            VisSelectItem(SelectedItem());
        TXMLItem* item = Vis->ItemAt(X, Y);
        if (!item)
            return;
        VisSelectItem(item);
        SelectNode(FindItemNode(item));
        tvXML->viewport()->update();
    } catch (const std::exception&) {
        // A press on the diagram reports nothing; the views keep what they reached.
    }
}

void TfrmXMLDialog::VisSelectItem(TXMLItem* item)
{
    // Nobody sees the diagram while the "Browser" page shows: the selection is kept and
    // the pass waits for the page change, so loading a big document does not pay for it.
    if (!ViewerShowing()) {
        Vis->SetRedrawOnSelectChanged(false);
        Vis->SelectItem(item);
        Vis->SetRedrawOnSelectChanged(true);
        FDiagramOutdated = true;
        return;
    }
    DrawDiagram([&] { Vis->SelectItem(item); });
}

void TfrmXMLDialog::VisRedraw()
{
    // After a rebuild the diagram's selection may be gone: it takes the tree's.
    if (FDiagramOutdated)
        VisSelectItem(SelectedItem());
    else
        DrawDiagram([this] { Vis->Redraw(); });
}

void TfrmXMLDialog::DrawDiagram(const std::function<void()>& pass)
{
    // The tree rebuilt inside a pass selects its node again, which would start a pass
    // inside this one; the selection has not changed, so that one is left out.
    if (FDrawingDiagram)
        return;
    FDrawingDiagram = true;
    struct TDone {
        bool& drawing;
        ~TDone() { drawing = false; }
    } done{FDrawingDiagram};
    FDiagramOutdated = false;
    pass();
    // A colour set that lacks an entry gains it during the pass, which marks the
    // document modified and shows the entry in the tree; one more pass draws its box as
    // well. A set gains each entry once, so this ends; should it not, the next press
    // draws again.
    for (int again = 0; FDiagramOutdated && again < 3; ++again) {
        FDiagramOutdated = false;
        Vis->Redraw();
    }
}
