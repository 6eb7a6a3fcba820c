#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include "StyleForm.h"

class QFrame;
class QLabel;
class QPushButton;
class TNpsLbl3d;
class TPaintBox;
class TURLLinkLabel;

// The about box: the program's icon, name, version and copyright from the version record
// of an executable, the author, the maker's web and mail links, and any further link
// lines a caller adds.
class TAboutBox : public TStyleForm {
    Q_OBJECT

public:
    // Reads the version record of `executable`, the running program unless given; an
    // executable without one is reported, and the value labels keep their design texts.
    explicit TAboutBox(QWidget* parent = nullptr, const QString& executable = QCoreApplication::applicationFilePath());

    // Further link lines, each "caption;target" (no ";": no caption, the whole entry the
    // target), added under the copyright when the box is shown.
    QStringList Links;
    // Pixels from one link line to the next.
    int LinkSpacing = 20;

    // Opens `target` with the desktop's handler, as it stands; a failure is not reported.
    static void OpenLink(const QString& target);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(const QString& executable);
    void FormShow();
    void IconPaintBoxPaint();

    TPaintBox* IconPaintBox;
    TNpsLbl3d* NpsLbl3d3;
    QLabel* ProductNameLabel;
    TNpsLbl3d* NpsLbl3d5;
    QLabel* VersionLabel;
    TNpsLbl3d* NpsLbl3d4;
    QLabel* CompanyLabel;
    QFrame* Bevel1;
    TNpsLbl3d* NpsLbl3d6;
    QLabel* Label1;
    TNpsLbl3d* NpsLbl3d2;
    TURLLinkLabel* URLLinkLabel1;
    TNpsLbl3d* NpsLbl3d1;
    TURLLinkLabel* URLLinkLabel2;
    QPushButton* OkBtn;
    bool FShown = false;
};

// Shows the about box modally with `links` and `spacing` and frees it when it closes.
void ShowAboutBox(const QStringList& links, int spacing, QWidget* parent = nullptr);
