#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ProgramSetup.h"
#include "TempFolder.h"

// Names the modal dialog a TModalAnswer waits for by its object name.
struct TDialogNamed {
    QString Name;
};

// Answers the next modal dialog. Either it waits for a dialog holding a button named
// `button`, lets `act` fill the dialog in and presses that button; or it waits for the
// active dialog named by TDialogNamed and `act` answers it. Create it before the code
// that opens the dialog. A dialog that is still open after the deadline is rejected
// and the test fails, so a missed answer never hangs the run.
class TModalAnswer {
public:
    explicit TModalAnswer(QString button, std::function<void(QWidget*)> act = {})
        : FButton(std::move(button)), FAct(std::move(act))
    {
        Start();
    }
    TModalAnswer(TDialogNamed dialog, std::function<void(QWidget*)> act) : FDialog(std::move(dialog.Name)), FAct(std::move(act))
    {
        Start();
    }

    bool Answered() const { return FAnswered; }
    // The dialog's window title and text, as they were when it was answered.
    const QString& Title() const { return FTitle; }
    const QString& Text() const { return FText; }

private:
    static constexpr int DeadlineMs = 20000;

    void Start()
    {
        FStarted.start();
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start();
    }

    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (FStarted.elapsed() > DeadlineMs) {
            FTimer.stop();
            ADD_FAILURE() << "no dialog answered " << (FDialog.isEmpty() ? FButton : FDialog).toStdString();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            return;
        }
        if (!modal || !modal->isVisible())
            return;
        QAbstractButton* button = nullptr;
        if (FDialog.isEmpty()) {
            button = modal->findChild<QAbstractButton*>(FButton);
            if (!button)
                return;
        } else if (modal->objectName() != FDialog || !modal->isActiveWindow()) {
            return;
        }
        FTimer.stop();
        FTitle = modal->windowTitle();
        if (auto* label = modal->findChild<QWidget*>(QStringLiteral("Message")))
            FText = label->property("text").toString();
        FAnswered = true;
        if (FAct)
            FAct(modal);
        if (button)
            button->click();
    }

    QString FButton;
    QString FDialog;
    std::function<void(QWidget*)> FAct;
    QTimer FTimer;
    QElapsedTimer FStarted;
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
