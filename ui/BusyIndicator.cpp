#include "BusyIndicator.h"

#include <QApplication>
#include <QLabel>

namespace {
int Depth = 0;
}

TBusyIndicator::TBusyIndicator(QLabel* panel, const QString& text) : FPanel(panel), FText(text)
{
    FOuter = Depth++ == 0;
    if (!FOuter)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (FPanel) {
        FSaved = FPanel->text();
        FPanel->setText(FText);
        FPanel->repaint();
    }
}

TBusyIndicator::~TBusyIndicator()
{
    --Depth;
    if (!FOuter)
        return;
    QApplication::restoreOverrideCursor();
    // The work may have put a text of its own there (a new result): that one stays.
    if (FPanel && FPanel->text() == FText)
        FPanel->setText(FSaved);
}
