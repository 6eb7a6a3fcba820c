#include "StyleForm.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QThread>

#include "ProgramSetup.h"
#include "Translations.h"

TStyleForm::TStyleForm(QWidget* parent) : QDialog(parent) {}

QPixmap& TStyleForm::BackgroundPicture()
{
    static QPixmap picture;
    return picture;
}

void TStyleForm::FinishCreate()
{
    TranslateForm(this);
    usefadeinout = true;
    TProgramSetup setup("Software\\Velmarco");
    setup.ReadBool("fadeinout", usefadeinout);
    setup.ReadBool("background", BitmapEnabled);
    if (BitmapEnabled) {
        std::string file = BackgroundFile.toStdString();
        setup.ReadString("backbitmap", file);
        BackgroundFile = QString::fromStdString(file);
        BackgroundPicture() = QPixmap();
        // A missing or unreadable picture leaves the background plain.
        if (QFileInfo::exists(BackgroundFile))
            BackgroundPicture().load(BackgroundFile);
    }
    FFading = true;
}

void TStyleForm::showEvent(QShowEvent* event)
{
    PrepareFade();
    QDialog::showEvent(event);
}

void TStyleForm::PrepareFade()
{
    if (!FFading || !usefadeinout)
        return;
    fadeinterval = 2;
    fademaxvalue = 255;
    fademinvalue = 120;
    SetOpacity(120);
}

void TStyleForm::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !FFading || !usefadeinout || !isVisible())
        return;
    if (isActiveWindow())
        FadeIn();
    else
        FadeOut();
}

void TStyleForm::SetOpacity(int opacity)
{
    FOpacity = opacity;
    setWindowOpacity(opacity / 255.0);
}

void TStyleForm::FadeIn()
{
    SetOpacity(fademinvalue);
    // Events run between the steps, so a fade-out can run inside this loop; this fade
    // then continues from where that one left the opacity.
    const QPointer<TStyleForm> self(this);
    while (FOpacity <= fademaxvalue - 5) {
        SetOpacity(FOpacity + 5);
        QApplication::processEvents();
        if (!self)
            return;
        QThread::msleep(static_cast<unsigned long>(fadeinterval));
    }
    SetOpacity(fademaxvalue);
}

void TStyleForm::FadeOut()
{
    SetOpacity(fademaxvalue);
    const QPointer<TStyleForm> self(this);
    while (FOpacity >= fademinvalue + 5) {
        SetOpacity(FOpacity - 5);
        QApplication::processEvents();
        if (!self)
            return;
        QThread::msleep(static_cast<unsigned long>(fadeinterval));
    }
    SetOpacity(fademinvalue);
}

void TStyleForm::paintEvent(QPaintEvent* event)
{
    const QPixmap& picture = BackgroundPicture();
    if (BitmapEnabled && !picture.isNull() && picture.width() >= 1 && picture.height() >= 1) {
        QPainter painter(this);
        const int columns = frameGeometry().width() / picture.width() + 2;
        const int rows = frameGeometry().height() / picture.height() + 2;
        for (int column = 0; column < columns; ++column)
            for (int row = 0; row < rows; ++row)
                painter.drawPixmap(column * picture.width(), row * picture.height(), picture);
    }
    QDialog::paintEvent(event);
}
