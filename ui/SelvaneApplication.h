#pragma once

#include <QApplication>
#include <QString>

#include <functional>

// The application: an exception that escapes an event handler is shown in the general
// error box, and the program goes on.
class TSelvaneApplication : public QApplication {
    Q_OBJECT

public:
    TSelvaneApplication(int& argc, char** argv);
    // Closes the help and takes the help bridge down again.
    ~TSelvaneApplication() override;

    // The application's help file, in the program's folder; the help serves it from the
    // compiled collection of the same base name.
    QString HelpFile = QStringLiteral("Selvane.chm");

    bool notify(QObject* receiver, QEvent* event) override;
};

// The general error box: the message with the error icon and an OK button.
void ShowException(const QString& message);
// Runs `handler`, showing any exception it raises in the general error box.
void Guarded(const std::function<void()>& handler);
