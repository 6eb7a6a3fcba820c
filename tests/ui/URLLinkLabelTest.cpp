#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QTest>
#include <QUrl>

#include "GuiTest.h"
#include "PaintBox.h"
#include "URLLinkLabel.h"

namespace {

// Takes the place of the desktop's handler for every scheme a link label knows, and keeps
// the links it was asked to open.
class TUrlCapture : public QObject {
    Q_OBJECT

public:
    TUrlCapture()
    {
        for (const char* scheme : Schemes)
            QDesktopServices::setUrlHandler(QString::fromUtf8(scheme), this, "Open");
    }
    ~TUrlCapture() override
    {
        for (const char* scheme : Schemes)
            QDesktopServices::unsetUrlHandler(QString::fromUtf8(scheme));
    }

    QStringList Opened;

public slots:
    void Open(const QUrl& url) { Opened << url.toString(); }

private:
    static constexpr const char* Schemes[] = {"file", "ftp", "gopher", "http", "https", "mailto", "news", "telnet", "wais"};
};

class URLLinkLabel : public ::testing::Test, public TGuiFixtureBase {
protected:
    URLLinkLabel()
    {
        Host.resize(200, 40);
        Host.OnMouseDown = [this](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++HostPresses; };
    }

    TUrlCapture Capture;
    TPaintBox Host;
    int HostPresses = 0;
};

TEST_F(URLLinkLabel, LeftPressOpensThePrefixedLinkForEveryType)
{
    const struct {
        tURLLinkType type;
        const char* link;
        const char* opened;
    } cases[] = {
        {ltfile, "/tmp/notes.txt", "file:///tmp/notes.txt"},
        {ltftp, "files.example.org/pub", "ftp://files.example.org/pub"},
        {ltgopher, "files.example.org/pub", "gopher://files.example.org/pub"},
        {lthttp, "files.example.org/pub", "http://files.example.org/pub"},
        {lthttps, "files.example.org/pub", "https://files.example.org/pub"},
        {ltmailto, "someone@example.org", "mailto:someone@example.org"},
        {ltnews, "comp.text.xml", "news:comp.text.xml"},
        {lttelnet, "files.example.org", "telnet:files.example.org"},
        {ltwais, "files.example.org/pub", "wais:files.example.org/pub"},
    };
    QStringList expected;
    for (const auto& c : cases) {
        TURLLinkLabel label(&Host);
        label.SetLinkType(c.type);
        label.SetHyperLink(QString::fromUtf8(c.link));
        label.adjustSize();
        QTest::mouseClick(&label, Qt::LeftButton);
        expected << QString::fromUtf8(c.opened);
    }
    EXPECT_EQ(Capture.Opened, expected);
    EXPECT_EQ(HostPresses, 0) << "the press went on to the label's parent";
}

TEST_F(URLLinkLabel, OtherButtonsOpenNothingAndReachTheParent)
{
    TURLLinkLabel label(&Host);
    label.SetHyperLink(QStringLiteral("example.org"));
    label.adjustSize();
    QTest::mouseClick(&label, Qt::RightButton);
    QTest::mouseClick(&label, Qt::MiddleButton);
    EXPECT_TRUE(Capture.Opened.isEmpty());
    EXPECT_EQ(HostPresses, 2);
}

TEST_F(URLLinkLabel, NewLabelIsABlueUnderlinedHandWhoseHyperLinkSetsOnlyAnEmptyCaption)
{
    TURLLinkLabel empty(&Host);
    EXPECT_EQ(empty.parentWidget(), &Host);
    EXPECT_TRUE(empty.font().underline());
    EXPECT_EQ(empty.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(empty.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(empty.LinkType(), lthttp);
    EXPECT_TRUE(empty.text().isEmpty());
    empty.SetHyperLink(QStringLiteral("example.org"));
    EXPECT_EQ(empty.text(), QStringLiteral("example.org"));
    empty.SetHyperLink(QStringLiteral("example.net"));
    EXPECT_EQ(empty.text(), QStringLiteral("example.org"));
    TURLLinkLabel captioned(&Host);
    captioned.setText(QStringLiteral("Our home page"));
    captioned.SetHyperLink(QStringLiteral("example.org"));
    EXPECT_EQ(captioned.text(), QStringLiteral("Our home page"));
    EXPECT_EQ(captioned.HyperLink(), QStringLiteral("example.org"));
}

} // namespace

#include "URLLinkLabelTest.moc"
