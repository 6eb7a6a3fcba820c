#pragma once

#include <QPointer>
#include <QString>

class QLabel;

// Shows that the program is working for as long as it lives: the busy cursor, and a text
// in a status panel, painted at once because the work that follows keeps the event loop
// from painting. Both are restored when it goes, also when the work throws. Indicators
// started inside a running one leave the outer one's text.
class TBusyIndicator {
public:
    TBusyIndicator(QLabel* panel, const QString& text);
    ~TBusyIndicator();
    TBusyIndicator(const TBusyIndicator&) = delete;
    TBusyIndicator& operator=(const TBusyIndicator&) = delete;

private:
    QPointer<QLabel> FPanel;
    QString FText;
    QString FSaved;
    bool FOuter = false;
};
