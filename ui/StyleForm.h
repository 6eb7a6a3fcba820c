#pragma once

#include <QDialog>
#include <QString>

// The base of every window of the program: the look read from "Software\Velmarco" —
// fading to partial opacity while inactive and a tiled background picture.
class TStyleForm : public QDialog {
    Q_OBJECT

public:
    explicit TStyleForm(QWidget* parent = nullptr);

    // Fading on; "fadeinout" decides at creation.
    bool usefadeinout = true;
    // Milliseconds between two fade steps; set at each show.
    int fadeinterval = 2;
    // Opacity while inactive and while active, 0..255; set at each show.
    int fademinvalue = 120;
    int fademaxvalue = 255;
    // Tiled background picture; "background" decides at creation.
    bool BitmapEnabled = false;
    // The picture's file, "background.bmp" unless "backbitmap" names another.
    QString BackgroundFile = QStringLiteral("background.bmp");

    // The picture every style form tiles; loaded again by each form created with the
    // background on.
    static QPixmap& BackgroundPicture();

protected:
    // Translates the window from its designed texts and reads the look; a window calls
    // it once its own controls exist, before its own creation code.
    void FinishCreate();

    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PrepareFade();
    void FadeIn();
    void FadeOut();
    void SetOpacity(int opacity);

    bool FFading = false;
    int FOpacity = 255;
};
