#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QTest>

#include <memory>

#include "GuiTest.h"
#include "NpsLbl3d.h"

namespace {

const QColor Back(255, 255, 255);
const QColor Ink(0, 0, 0);
const QColor Highlight(255, 255, 0);
const QColor Grey(128, 128, 128);
const QColor Silver(192, 192, 192);

// A label in colours of its own and an unsmoothed font, so that every pixel it paints is
// the background, the text or the copy of the text.
std::unique_ptr<TNpsLbl3d> MakeLabel(const QString& caption = QStringLiteral("Wq&8"))
{
    auto label = std::make_unique<TNpsLbl3d>(caption, nullptr);
    QFont font(QStringLiteral("DejaVu Sans"), 22, QFont::Bold);
    font.setStyleStrategy(QFont::NoAntialias);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Back);
    palette.setColor(QPalette::WindowText, Ink);
    palette.setColor(QPalette::Light, Highlight);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, Grey);
    label->setPalette(palette);
    label->resize(140, 60);
    return label;
}

QImage Painted(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The pixels the text covers in the plain style, at the label's own position.
QImage PlainMask()
{
    auto label = MakeLabel();
    label->SetTextStyle(tsPlain);
    return Painted(*label);
}

bool IsInk(const QImage& mask, int x, int y) { return mask.valid(x, y) && mask.pixelColor(x, y) == Ink; }

// The columns that hold any pixel other than the background.
std::pair<int, int> InkColumns(const QImage& image)
{
    int first = image.width(), last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != Back) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

struct TStyleCase {
    const char* name;
    TTextStyle style;
    int depth;
    bool enabled;
    int dx, dy;
    QColor copy;
};

class NpsLbl3d : public ::testing::TestWithParam<TStyleCase>, public TGuiFixtureBase {};

TEST_P(NpsLbl3d, PaintsTheShiftedCopyFirstAndTheTextOverIt)
{
    const TStyleCase& c = GetParam();
    auto label = MakeLabel();
    label->SetTextStyle(c.style);
    label->SetShadowDepth(c.depth);
    label->SetShadowColor(QColor(200, 0, 0));
    label->setEnabled(c.enabled);
    const QImage mask = PlainMask();
    const QImage image = Painted(*label);
    ASSERT_EQ(image.size(), mask.size());
    const QColor text = c.enabled ? Ink : Grey;
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor expected = IsInk(mask, x, y) ? text : IsInk(mask, x - c.dx, y - c.dy) ? c.copy : Back;
            inked += IsInk(mask, x, y);
            ASSERT_EQ(image.pixelColor(x, y), expected) << "at " << x << "," << y;
        }
    EXPECT_GT(inked, 100);
}

INSTANTIATE_TEST_SUITE_P(TextStyles, NpsLbl3d,
                         ::testing::Values(TStyleCase{"Plain", tsPlain, 2, true, 0, 0, Back},
                                           TStyleCase{"Raised", tsRaised, 2, true, -1, -1, Highlight},
                                           TStyleCase{"Lowered", tsLowered, 2, true, 1, 1, Highlight},
                                           TStyleCase{"Shadow", tsShadow, 2, true, 2, 2, QColor(200, 0, 0)},
                                           TStyleCase{"DeepShadow", tsShadow, 5, true, 5, 5, QColor(200, 0, 0)},
                                           TStyleCase{"ShadowOfDepthZeroHidesUnderText", tsShadow, 0, true, 0, 0, Back},
                                           TStyleCase{"DisabledLoweredIsGreyOverHighlight", tsLowered, 2, false, 1, 1, Highlight}),
                         [](const auto& info) { return std::string(info.param.name); });

class NpsLbl3dLook : public ::testing::Test, public TGuiFixtureBase {};

TEST_F(NpsLbl3dLook, DefaultsAreLoweredTwoPixelsSilver)
{
    TNpsLbl3d label;
    EXPECT_EQ(label.TextStyle(), tsLowered);
    EXPECT_EQ(label.ShadowDepth(), 2);
    EXPECT_EQ(label.ShadowColor(), Silver);
    EXPECT_FALSE(label.Transparent());
    EXPECT_TRUE(label.ShowAccelChar());
}

TEST_F(NpsLbl3dLook, TransparentLabelLeavesTheParentBackground)
{
    QWidget parent;
    parent.resize(160, 80);
    parent.setAutoFillBackground(true);
    QPalette red = parent.palette();
    red.setColor(QPalette::Window, Qt::red);
    parent.setPalette(red);
    auto label = MakeLabel();
    label->setParent(&parent);
    label->move(10, 10);
    EXPECT_EQ(Painted(parent).pixelColor(label->width() + 5, label->height() + 5), Back);
    label->SetTransparent(true);
    EXPECT_EQ(Painted(parent).pixelColor(label->width() + 5, label->height() + 5), QColor(Qt::red));
    label.release()->deleteLater();
}

TEST_F(NpsLbl3dLook, AcceleratorDisplayOffShowsTheAmpersand)
{
    auto label = MakeLabel();
    label->SetTextStyle(tsPlain);
    const auto [shownFirst, shownLast] = InkColumns(Painted(*label));
    label->SetShowAccelChar(false);
    const auto [literalFirst, literalLast] = InkColumns(Painted(*label));
    EXPECT_EQ(literalFirst, shownFirst);
    EXPECT_GT(literalLast, shownLast + 10);
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        Paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(NpsLbl3dLook, SettersRepaintOnlyOnAChange)
{
    auto label = MakeLabel();
    label->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(label.get()));
    TPaintCounter counter;
    label->installEventFilter(&counter);
    const std::function<void(bool)> setters[] = {
        [&](bool change) { label->SetTextStyle(change ? tsRaised : label->TextStyle()); },
        [&](bool change) { label->SetShadowDepth(change ? 4 : label->ShadowDepth()); },
        [&](bool change) { label->SetShadowColor(change ? QColor(Qt::green) : label->ShadowColor()); },
    };
    for (const auto& set : setters) {
        QTest::qWait(20);
        counter.Paints = 0;
        set(false);
        QTest::qWait(50);
        EXPECT_EQ(counter.Paints, 0);
        set(true);
        EXPECT_TRUE(QTest::qWaitFor([&] { return counter.Paints > 0; }));
    }
    label->removeEventFilter(&counter);
}

} // namespace
