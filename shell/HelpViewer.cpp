#include "HelpViewer.h"

#include <QAction>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpEngineCore>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QSplitter>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include "ThemeIcon.h"

namespace {

// Reads the pages and their pictures out of the collection.
class THelpPageView : public QTextBrowser {
public:
    THelpPageView(QHelpEngine* engine, QWidget* parent) : QTextBrowser(parent), FEngine(engine) {}

    QVariant loadResource(int type, const QUrl& name) override
    {
        if (name.scheme() == QLatin1String("qthelp"))
            return FEngine->fileData(name);
        return QTextBrowser::loadResource(type, name);
    }

private:
    QHelpEngine* FEngine;
};

// What identifies one state of an installed collection: its files, their sizes and times.
QByteArray CollectionStamp(const QString& collection, const QStringList& documentations)
{
    QByteArray stamp;
    for (const QString& file : QStringList{collection} + documentations) {
        const QFileInfo info(file);
        stamp += info.absoluteFilePath().toUtf8() + '\t' + QByteArray::number(info.size()) + '\t' +
                 QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + '\n';
    }
    return stamp;
}

// Copies `source` to `target` under a name of its own first, so that another instance of
// the program never opens a half-written file.
bool CopyWhole(const QString& source, const QString& target)
{
    const QString partial = target + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
    QFile::remove(partial);
    if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(source, partial)) {
        QFile::remove(partial);
        return false;
    }
    QFile::remove(target);
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        return QFileInfo(target).isFile();
    }
    return true;
}

// The collection the viewer works on, and whether its search may keep an index beside it.
struct TWorkingCollection {
    // Empty when the collection cannot be opened safely.
    QString File;
    bool Searchable = false;
};

// The help engine keeps its search index beside its collection, and an installed
// program's folder is not the user's to write: the viewer works on a copy in the user's
// cache, with the documentation files that lie in the collection's folder at the same
// places, made again whenever the installed files change. Where no copy can be made the
// collection itself serves, without a search. A collection or documentation file that is
// missing or not a regular file (a FIFO would hold every open for ever) is not opened.
TWorkingCollection WorkingCollection(const QString& collection)
{
    const QFileInfo source(collection);
    if (!source.isFile())
        return {};
    const QString path = source.absoluteFilePath();
    QStringList documentations;
    {
        QHelpEngineCore installed(path);
        installed.setReadOnly(true);
        if (!installed.setupData())
            return {};
        for (const QString& name : installed.registeredDocumentations())
            documentations += QFileInfo(installed.documentationFileName(name)).absoluteFilePath();
    }
    for (const QString& documentation : documentations)
        if (!QFileInfo(documentation).isFile())
            return {};

    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty())
        return {path, false};
    const QString folder = cache + QStringLiteral("/help/") +
                           QString::fromLatin1(QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    const QString copy = folder + QLatin1Char('/') + source.fileName();
    const QByteArray stamp = CollectionStamp(path, documentations);
    QFile stampFile(copy + QStringLiteral(".stamp"));
    if (QFileInfo(copy).isFile() && stampFile.open(QIODevice::ReadOnly) && stampFile.readAll() == stamp)
        return {copy, true};
    stampFile.close();
    // A new copy gets a new search index; the old one lists the old pages.
    QDir(folder + QStringLiteral("/.") + source.completeBaseName()).removeRecursively();
    const QDir from = source.absoluteDir();
    for (const QString& documentation : documentations) {
        const QString relative = from.relativeFilePath(documentation);
        if (!relative.startsWith(QStringLiteral("../")) && !CopyWhole(documentation, folder + QLatin1Char('/') + relative))
            return {path, false};
    }
    if (!CopyWhole(path, copy))
        return {path, false};
    QSaveFile stampWriter(stampFile.fileName());
    if (stampWriter.open(QIODevice::WriteOnly)) {
        stampWriter.write(stamp);
        stampWriter.commit();
    }
    return {copy, true};
}

} // namespace

THelpViewer::THelpViewer(const QString& collection) : FCollection(collection)
{
    setObjectName(QStringLiteral("THelpViewer"));
    setWindowFlag(Qt::Window);
    // The program ends with its main window, whether its help is open or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QFileInfo(collection).completeBaseName() + QStringLiteral(" Help"));
    resize(900, 640);

    const TWorkingCollection working = WorkingCollection(collection);
    FEngine = new QHelpEngine(working.File, this);
    // The collection is the program's own and is never changed at run time.
    FEngine->setReadOnly(true);
    FOpened = !working.File.isEmpty() && FEngine->setupData();
    FSearchable = FOpened && working.Searchable;

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("HelpToolBar"));
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(bar);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("HelpSplitter"));
    splitter->setChildrenCollapsible(false);
    FNavigation = new QTabWidget(splitter);
    FNavigation->setObjectName(QStringLiteral("Navigation"));
    QHelpContentWidget* contents = FEngine->contentWidget();
    contents->setObjectName(QStringLiteral("Contents"));
    contents->setHeaderHidden(true);
    contents->setIndentation(14);
    FNavigation->addTab(contents, QStringLiteral("Contents"));
    FNavigation->addTab(CreateIndexPage(), QStringLiteral("Index"));
    FNavigation->addTab(CreateSearchPage(), QStringLiteral("Search"));
    FPageView = new THelpPageView(FEngine, splitter);
    FPageView->setObjectName(QStringLiteral("PageView"));
    FPageView->setOpenExternalLinks(true);
    FPageView->setFrameShape(QFrame::NoFrame);
    FPageView->document()->setDocumentMargin(12);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 640});
    layout->addWidget(splitter, 1);

    auto command = [&](const char* name, const char* caption, const char* theme, QStyle::StandardPixmap fallback) {
        QAction* action = bar->addAction(ThemeIcon(QString::fromUtf8(theme), style(), fallback), QString::fromUtf8(caption));
        action->setObjectName(QString::fromUtf8(name));
        return action;
    };
    QAction* back = command("Back", "Back", "go-previous", QStyle::SP_ArrowBack);
    QAction* forward = command("Forward", "Forward", "go-next", QStyle::SP_ArrowForward);
    QAction* home = command("Home", "Home", "go-home", QStyle::SP_DirHomeIcon);
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QAction::triggered, FPageView, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, FPageView, &QTextBrowser::forward);
    connect(FPageView, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(FPageView, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(home, &QAction::triggered, this, [this] { ShowPage(QStringLiteral("/index.html")); });

    connect(contents, &QHelpContentWidget::linkActivated, this, &THelpViewer::ShowUrl);
    // The contents are read in the background; the whole tree is small enough to open.
    connect(FEngine->contentModel(), &QHelpContentModel::contentsCreated, this, [this, contents] {
        contents->expandAll();
        SelectInContents();
    });
    connect(FPageView, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        FCurrentPage = url;
        SelectInContents();
        setWindowTitle(QFileInfo(FCollection).completeBaseName() + QStringLiteral(" Help") +
                       (FPageView->documentTitle().isEmpty() ? QString() : QStringLiteral(" - ") + FPageView->documentTitle()));
    });
    connect(FNavigation, &QTabWidget::currentChanged, this, [this](int tab) {
        // The search index is built at the first search, not for every look at a page.
        if (tab == 2 && !FIndexed && FSearchable) {
            FIndexed = true;
            FEngine->searchEngine()->scheduleIndexDocumentation();
        }
    });
    if (!FOpened)
        ShowMessage(QStringLiteral("Help not found"),
                    QStringLiteral("The help file <b>%1</b> cannot be opened.").arg(FCollection.toHtmlEscaped()));
}

QWidget* THelpViewer::CreateIndexPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("IndexPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    FIndexFilter = new QLineEdit(page);
    FIndexFilter->setObjectName(QStringLiteral("IndexFilter"));
    FIndexFilter->setPlaceholderText(QStringLiteral("Type a keyword"));
    FIndexFilter->setClearButtonEnabled(true);
    QHelpIndexWidget* index = FEngine->indexWidget();
    index->setObjectName(QStringLiteral("Index"));
    layout->addWidget(FIndexFilter);
    layout->addWidget(index, 1);
    connect(FIndexFilter, &QLineEdit::textChanged, index, [index](const QString& text) { index->filterIndices(text); });
    connect(FIndexFilter, &QLineEdit::returnPressed, index, &QHelpIndexWidget::activateCurrentItem);
    connect(index, &QHelpIndexWidget::documentActivated, this, [this](const QHelpLink& link) { ShowUrl(link.url); });
    connect(index, &QHelpIndexWidget::documentsActivated, this, [this](const QList<QHelpLink>& links) {
        if (!links.isEmpty())
            ShowUrl(links.constFirst().url);
    });
    return page;
}

QWidget* THelpViewer::CreateSearchPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("SearchPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    QHelpSearchEngine* search = FEngine->searchEngine();
    QHelpSearchQueryWidget* query = search->queryWidget();
    query->setObjectName(QStringLiteral("SearchQuery"));
    QHelpSearchResultWidget* results = search->resultWidget();
    results->setObjectName(QStringLiteral("SearchResults"));
    layout->addWidget(query);
    layout->addWidget(results, 1);
    // Its index would have to go beside the collection itself, in the program's folder.
    if (!FSearchable) {
        query->setEnabled(false);
        auto* note = new QLabel(QStringLiteral("The search needs the user's cache folder for its index."), page);
        note->setObjectName(QStringLiteral("SearchNote"));
        note->setWordWrap(true);
        layout->insertWidget(0, note);
    }
    connect(query, &QHelpSearchQueryWidget::search, search, [search, query] { search->search(query->searchInput()); });
    connect(results, &QHelpSearchResultWidget::requestShowLink, this, &THelpViewer::ShowUrl);
    return page;
}

QUrl THelpViewer::PageUrl(const QString& page) const
{
    const QStringList namespaces = FEngine->registeredDocumentations();
    if (!FOpened || namespaces.isEmpty())
        return {};
    const QString name = namespaces.constFirst();
    const QList<QUrl> files = FEngine->files(name, QString());
    if (files.isEmpty())
        return {};
    // Every page of the documentation lies in the folder of its first file.
    const QString folder = files.constFirst().path().section(QLatin1Char('/'), 1, 1);
    QUrl url;
    url.setScheme(QStringLiteral("qthelp"));
    url.setHost(name);
    url.setPath(QLatin1Char('/') + folder + (page.startsWith(QLatin1Char('/')) ? page : QLatin1Char('/') + page));
    return url;
}

void THelpViewer::ShowPage(const QString& page)
{
    const QUrl url = PageUrl(page);
    if (url.isValid() && !FEngine->fileData(url).isEmpty()) {
        ShowUrl(url);
        return;
    }
    const QString name = page.startsWith(QLatin1Char('/')) ? page.mid(1) : page;
    ShowMessage(QStringLiteral("Page not found"),
                QStringLiteral("The page <b>%1</b> is not in the help file <b>%2</b>.")
                    .arg(name.toHtmlEscaped(), QFileInfo(FCollection).fileName().toHtmlEscaped()));
}

void THelpViewer::SelectInContents()
{
    QHelpContentWidget* contents = FEngine->contentWidget();
    const QModelIndex entry = contents->indexOf(FCurrentPage);
    if (entry.isValid())
        contents->setCurrentIndex(entry);
}

void THelpViewer::ShowUrl(const QUrl& url)
{
    // A text of the viewer's own does not change the view's source, so showing that
    // same page again has to load it afresh.
    if (FCurrentPage.isEmpty() && FPageView->source() == url)
        FPageView->reload();
    else
        FPageView->setSource(url, QTextDocument::HtmlResource);
}

void THelpViewer::ShowMessage(const QString& title, const QString& text)
{
    FCurrentPage.clear();
    FPageView->setHtml(QStringLiteral("<html><head><title>%1</title></head><body><h2>%1</h2><p>%2</p></body></html>")
                           .arg(title.toHtmlEscaped(), text));
}

void THelpViewer::ShowContents()
{
    FNavigation->setCurrentIndex(0);
    if (FOpened && CurrentPage().isEmpty())
        ShowPage(QStringLiteral("/index.html"));
}

void THelpViewer::ShowIndex()
{
    FNavigation->setCurrentIndex(1);
    FIndexFilter->setFocus();
}

void THelpViewer::ShowContext(qintptr context)
{
    const QList<QHelpLink> links = FOpened ? FEngine->documentsForIdentifier(QString::number(context)) : QList<QHelpLink>();
    if (!links.isEmpty()) {
        ShowUrl(links.constFirst().url);
        return;
    }
    ShowMessage(QStringLiteral("Page not found"), QStringLiteral("No page of the help has the context number %1.").arg(context));
}
