#pragma once

#include "StyleForm.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QPushButton;

// The main window's four switches, which the setup dialog shows and changes; the window
// stores them at exit.
struct TSetupFlags {
    bool AskDelete = true;
    bool AskChange = true;
    bool UseLfString = false;
    bool UseFullItem = true;
};

// The setup dialog: the main window's switches and the two plug-in switches it keeps
// under "Software\Velmarco\XML" itself, and the way to the file-format registration.
class TfrmXMLPluginSetup : public TStyleForm {
    Q_OBJECT

public:
    explicit TfrmXMLPluginSetup(QWidget* parent = nullptr);

    QGroupBox* GroupBox2;
    QCheckBox* cbaskdelete;
    QCheckBox* cbaskchange;
    QCheckBox* cbctrasstring;
    QCheckBox* cbcopyfullitemname;
    QGroupBox* GroupBox1;
    QCheckBox* aReadEver;
    QCheckBox* aWriteEver;
    QFrame* Panel1;
    QPushButton* bOk;
    QPushButton* bcancel;
    QPushButton* bregisterfileformats;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Opens the file-format registration for the program's XML files over this dialog.
    void bregisterfileformatsClick();
};

// Shows the setup dialog over `mainWindow` with its `flags`. On OK stores "READEVER" and
// "WRITEEVER", then gives the boxes' states to `flags` and returns true; any other close
// changes nothing and returns false.
bool ExecuteSetupDialog(TSetupFlags& flags, QWidget* mainWindow = nullptr);
