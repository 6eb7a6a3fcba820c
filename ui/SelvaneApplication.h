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

    bool notify(QObject* receiver, QEvent* event) override;
};

// The general error box: the message with the error icon and an OK button.
void ShowException(const QString& message);
// Runs `handler`, showing any exception it raises in the general error box.
void Guarded(const std::function<void()>& handler);
