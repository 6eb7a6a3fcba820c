#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "DlgSelvane.h"
#include "GuiTest.h"

inline constexpr std::string_view Document =
    "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n"
    "<?xml-stylesheet type=\"text/xsl\" href=\"view.xsl\"?>\r\n"
    "<A>\r\n"
    "  <B width=\"10\" height=\"5\"/>\r\n"
    "  <C/>\r\n"
    "</A>\r\n";

inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QTest::qWait(5);
    }
    return true;
}

inline std::string Stored(const char* name)
{
    std::string value = "<absent>";
    TProgramSetup("Software\\Velmarco\\XML").ReadString(name, value);
    return value;
}

// Fills the input box with `text` (when given) and presses `button`.
inline TModalAnswer InputAnswer(std::optional<QString> text, const char* button = "OK")
{
    return TModalAnswer(TDialogNamed{QStringLiteral("InputBox")}, [text, button](QWidget* box) {
        if (text)
            box->findChild<QLineEdit*>(QStringLiteral("Edit"))->setText(*text);
        box->findChild<QAbstractButton*>(QString::fromUtf8(button))->click();
    });
}

class MainWindow : public ::testing::Test, public TGuiFixtureBase {
protected:
    // Opens the window and waits until its first show has loaded the source.
    TfrmXMLDialog& Open(const QStringList& arguments = {})
    {
        Window = std::make_unique<TfrmXMLDialog>(arguments);
        Window->show();
        Window->activateWindow();
        EXPECT_TRUE(WaitFor([this] { return Tree()->model()->rowCount() > 0 || QApplication::activeModalWidget(); }));
        return *Window;
    }
    // Closes the window and destroys it, which writes the settings.
    void CloseAndDestroy()
    {
        Window->close();
        Window.reset();
    }

    QTreeView* Tree() const { return Window->findChild<QTreeView*>(QStringLiteral("tvXML")); }
    QTableView* List() const { return Window->findChild<QTableView*>(QStringLiteral("lvxml")); }
    QString Result() const { return Window->findChild<QLineEdit*>(QStringLiteral("eitem"))->text(); }
    QString Panel() const { return Window->findChild<QLabel*>(QStringLiteral("StatusPanel"))->text(); }
    QAction* Command(const char* name) const { return Window->findChild<QAction*>(QString::fromUtf8(name)); }
    QModelIndex Node(std::initializer_list<int> rows) const
    {
        QModelIndex index = Tree()->model()->index(0, 0);
        for (int row : rows)
            index = Tree()->model()->index(row, 0, index);
        return index;
    }
    void ClickNode(const QModelIndex& node)
    {
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, Tree()->visualRect(node).center());
    }
    void ClickRow(int row)
    {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, List()->visualRect(List()->model()->index(row, 0)).center());
    }
    // The window takes the keys again after a dialog, as a desktop hands them back.
    void Reactivate()
    {
        Window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    }
    // A click on the selected node opens its in-place editor a moment later, as the user
    // sees it; that edit is cancelled so that the tree keeps the focus.
    void FocusTree(std::initializer_list<int> node)
    {
        Reactivate();
        const bool renames = Tree()->selectionModel()->isSelected(Node(node)) && (Tree()->editTriggers() & QAbstractItemView::SelectedClicked);
        ClickNode(Node(node));
        QLineEdit* editor = nullptr;
        if (renames && WaitFor([&] { return (editor = Tree()->viewport()->findChild<QLineEdit*>()) != nullptr; }, 2000)) {
            QTest::keyClick(editor, Qt::Key_Escape);
            EXPECT_TRUE(WaitFor([this] { return !Tree()->viewport()->findChild<QLineEdit*>(); }));
        }
        Tree()->setFocus();
        EXPECT_TRUE(WaitFor([this] { return Tree()->hasFocus(); }));
    }
    QString CurrentNodeText() const { return Tree()->currentIndex().data().toString(); }
    QString CurrentRowName() const
    {
        const QModelIndex row = List()->currentIndex();
        return row.isValid() ? List()->model()->index(row.row(), 0).data().toString() : QString();
    }

    std::string File = Folder.Write("doc.xml", Document).string();
    QString FileName = QString::fromStdString(File);
    std::unique_ptr<TfrmXMLDialog> Window;
};

