#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QHelpEngine;
class QLineEdit;
class QTabWidget;
class QTextBrowser;

// The help window: contents, index and full-text search of one compiled help collection
// beside a page view. It stays open on its own, whatever the program's dialogs do.
class THelpViewer : public QWidget {
    Q_OBJECT

public:
    // Opens `collection` (a .qhc file); one that cannot be opened is named in the view.
    explicit THelpViewer(const QString& collection);

    const QString& Collection() const { return FCollection; }
    // Shows `page`, a path within the documentation such as "/aFilter.html"; a page the
    // collection lacks shows the viewer's own "page not found" text naming it.
    void ShowPage(const QString& page);
    // The contents, with the first page when no page is shown yet.
    void ShowContents();
    // The keyword index, ready for typing.
    void ShowIndex();
    // The page whose identifier is `context`, or a text saying that none has it.
    void ShowContext(qintptr context);
    // The page shown; empty while a text of the viewer's own stands in its place.
    const QUrl& CurrentPage() const { return FCurrentPage; }

private:
    QWidget* CreateIndexPage();
    QWidget* CreateSearchPage();
    void ShowUrl(const QUrl& url);
    // Marks the page shown in the contents, when they list it.
    void SelectInContents();
    void ShowMessage(const QString& title, const QString& text);
    // The address of a page path in the collection's documentation.
    QUrl PageUrl(const QString& page) const;

    QString FCollection;
    QHelpEngine* FEngine;
    bool FOpened = false;
    bool FIndexed = false;
    // Whether the search may build its index, which lies beside the collection opened.
    bool FSearchable = false;
    QTabWidget* FNavigation;
    QLineEdit* FIndexFilter = nullptr;
    QTextBrowser* FPageView;
    QUrl FCurrentPage;
};
