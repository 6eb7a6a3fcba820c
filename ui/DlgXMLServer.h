#pragma once

#include <QString>
#include <QWidget>

#include "StyleForm.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// A file-name field with a browse button; a chosen name holding a blank is shown in
// double quotes.
class TFilenameEdit : public QWidget {
    Q_OBJECT

public:
    explicit TFilenameEdit(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);
    // The name without the double quotes around a name holding a blank.
    QString FileName() const;
    void SetFilter(const QString& filter) { FFilter = filter; }
    void SetInitialDir(const QString& folder) { FInitialDir = folder; }

private:
    void Browse();

    QLineEdit* FEdit;
    QToolButton* FButton;
    QString FFilter;
    QString FInitialDir;
};

// The dialog that chooses the XML source. Its XML-RPC section lies below the visible
// client area and stays disabled.
class TDlgXMLServerList : public TStyleForm {
    Q_OBJECT

public:
    explicit TDlgXMLServerList(QWidget* parent = nullptr);

    QString FSource;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void UpdateControls();
    void OKBtnClick();
    // Example messages of the XML-RPC section; a call to an empty server text fails
    // with "MethodName is not defined.".
    void BtnRequestClick();
    void BtnResponseClick();
    void BtnFaultClick();

    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    TFilenameEdit* fexmlfile;
    QRadioButton* rbusefile;
    QRadioButton* rbuserpc;
    QLineEdit* erpcserver;
    QPushButton* BtnRequest;
    QPushButton* BtnResponse;
    QPushButton* BtnFault;
};

// Shows the dialog with `CurrentSource`; the source confirmed with OK, or `CurrentSource`.
QString SelectXmlSource(const QString& CurrentSource, QWidget* parent = nullptr);

// The first folder of the file dialogs, with a final "/": "Projects/" beside the running
// executable where the user can write it, as in a build tree; else, for an installed
// program, the folder of `document` when one is named, else the user's documents folder.
QString FileDialogFolder(const QString& document);
// A filter of "description|pattern|..." pairs as the file dialogs take it.
QString FileDialogFilter(const QString& pairs);
