#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

#include "ProgramSetup.h"
#include "TempFolder.h"

// Answers the next modal dialog: waits until it is the active modal widget, lets `act`
// fill it in, then presses its button named `button`. Call before the code that opens it.
class TModalAnswer {
public:
    explicit TModalAnswer(QString button, std::function<void(QWidget*)> act = {})
        : FButton(std::move(button)), FAct(std::move(act))
    {
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start();
    }

    bool Answered() const { return FAnswered; }
    // The dialog's window title and text, as they were when it was answered.
    const QString& Title() const { return FTitle; }
    const QString& Text() const { return FText; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        auto* button = FButton.isEmpty() ? nullptr : modal->findChild<QAbstractButton*>(FButton);
        if (!button && !FButton.isEmpty())
            return;
        FTimer.stop();
        FTitle = modal->windowTitle();
        if (auto* label = modal->findChild<QWidget*>(QStringLiteral("Message")))
            FText = label->property("text").toString();
        if (FAct)
            FAct(modal);
        FAnswered = true;
        // Without a button name, `act` closes the dialog itself.
        if (button)
            button->click();
    }

    QString FButton;
    std::function<void(QWidget*)> FAct;
    QTimer FTimer;
    bool FAnswered = false;
    QString FTitle;
    QString FText;
};

// A temporary folder and hive for one GUI test, with fading off unless asked for.
class TGuiFixtureBase {
public:
    explicit TGuiFixtureBase(bool fading = false)
    {
        if (!fading)
            TProgramSetup("Software\\Velmarco").WriteBool("fadeinout", false);
    }
    ~TGuiFixtureBase()
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible())
                widget->close();
    }

    TTempFolder Folder;
};
