#include "MessageForm.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "HelpBridge.h"

namespace {

struct TButtonKind {
    const char* name;
    const char* caption;
    int result;
};

constexpr TButtonKind ButtonKinds[] = {
    {"Yes", "&Yes", mrYes},           {"No", "&No", mrNo},
    {"YesToAll", "Yes to &All", mrYesToAll}, {"NoToAll", "N&o to All", mrNoToAll},
    {"All", "&All", mrAll},           {"OK", "OK", mrOk},
    {"Abort", "&Abort", mrAbort},     {"Retry", "&Retry", mrRetry},
    {"Ignore", "&Ignore", mrIgnore},  {"Cancel", "Cancel", mrCancel},
    {"Help", "Help", mrNone},
};

// A text of any length would take the box ages to measure and paint (a damaged settings
// file may hold megabytes in one value): its middle gives way to "…".
QString Capped(const QString& text)
{
    constexpr qsizetype Most = 1000;
    if (text.size() <= Most)
        return text;
    // A character of two UTF-16 units is kept whole or left out whole.
    qsizetype head = Most / 2;
    qsizetype tail = Most / 2 - 1;
    if (text[head - 1].isHighSurrogate())
        --head;
    if (text[text.size() - tail].isLowSurrogate())
        --tail;
    return text.left(head) + QChar(0x2026) + text.right(tail);
}

// A lone carriage return breaks the line as a line feed does; the label breaks only at
// line feeds.
QString WithLineFeeds(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n')); }

QString Title(TMsgDlgType kind)
{
    switch (kind) {
    case mtWarning: return QStringLiteral("Warning");
    case mtError: return QStringLiteral("Error");
    case mtInformation: return QStringLiteral("Information");
    case mtConfirmation: return QStringLiteral("Confirm");
    case mtCustom: break;
    }
    return QApplication::applicationDisplayName();
}

QStyle::StandardPixmap IconOf(TMsgDlgType kind)
{
    switch (kind) {
    case mtWarning: return QStyle::SP_MessageBoxWarning;
    case mtError: return QStyle::SP_MessageBoxCritical;
    case mtInformation: return QStyle::SP_MessageBoxInformation;
    default: return QStyle::SP_MessageBoxQuestion;
    }
}

} // namespace

TMessageForm::TMessageForm(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext)
    : FHelpContext(helpContext)
{
    setObjectName(QStringLiteral("TMessageForm"));
    setWindowTitle(Title(kind));
    setFont(QApplication::font("QMessageBox"));

    const QFontMetrics metrics(font());
    const int w = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    const int h = metrics.height();
    const QScreen* screen = QApplication::primaryScreen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1024;

    const QString shown = WithLineFeeds(Capped(text));
    auto* message = new QLabel(shown, this);
    message->setObjectName(QStringLiteral("Message"));
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QRect textRect = metrics.boundingRect(QRect(0, 0, screenWidth / 2, 0), Qt::TextWordWrap | Qt::AlignLeft, shown);

    int textLeft = 2 * w;
    if (kind != mtCustom) {
        auto* image = new QLabel(this);
        image->setObjectName(QStringLiteral("Image"));
        image->setPixmap(style()->standardIcon(IconOf(kind), nullptr, this).pixmap(32, 32));
        image->setGeometry(2 * w, h, 32, 32);
        textLeft += 32 + (5 * w) / 2;
        textRect.setHeight(std::max(textRect.height(), 32));
    }
    message->setGeometry(textLeft, h, textRect.width() + 1, textRect.height());

    QList<QPushButton*> created;
    int buttonWidth = (25 * w) / 2;
    for (int k = 0; k <= mbHelp; ++k) {
        if (!(buttons & Btn(static_cast<TMsgDlgBtn>(k))))
            continue;
        auto* button = new QPushButton(QString::fromUtf8(ButtonKinds[k].caption), this);
        button->setObjectName(QString::fromUtf8(ButtonKinds[k].name));
        buttonWidth = std::max(buttonWidth, metrics.horizontalAdvance(button->text().remove(QLatin1Char('&'))) + 8);
        // Help shows the box's help context instead of closing it.
        const int result = ButtonKinds[k].result;
        if (k != mbHelp)
            connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        else
            connect(button, &QPushButton::clicked, this, [this] { ApplicationHelpContext(FHelpContext); });
        created.append(button);
    }

    const int buttonHeight = (7 * h) / 4;
    const int rowWidth = created.size() * buttonWidth + std::max<int>(0, static_cast<int>(created.size()) - 1) * w;
    const int contentWidth = std::max(textLeft - 2 * w + textRect.width(), rowWidth);
    const int buttonTop = h + textRect.height() + (5 * h) / 4;
    int x = 2 * w + (contentWidth - rowWidth) / 2;
    for (QPushButton* button : created) {
        button->setGeometry(x, buttonTop, buttonWidth, buttonHeight);
        x += buttonWidth + w;
    }
    setFixedSize(contentWidth + 4 * w, buttonTop + buttonHeight + h);

    auto find = [this](const char* name) { return findChild<QPushButton*>(QString::fromUtf8(name)); };
    QPushButton* defaultButton = find("OK");
    if (!defaultButton)
        defaultButton = find("Yes");
    if (!defaultButton)
        defaultButton = find("Retry");
    if (defaultButton) {
        defaultButton->setDefault(true);
        defaultButton->setFocus();
    }
    FEscapeButton = find("Cancel");
    if (!FEscapeButton)
        FEscapeButton = find("No");
    if (!FEscapeButton)
        FEscapeButton = find("OK");
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (FEscapeButton)
            FEscapeButton->click();
        return;
    }
    TStyleForm::keyPressEvent(event);
}

int MessageDialog(const QString& text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext)
{
    TMessageForm form(text, kind, buttons, helpContext);
    if (const QScreen* screen = QApplication::primaryScreen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    const int result = form.exec();
    // Closing the box by its title bar or the system gives cancel.
    return result == QDialog::Rejected ? mrCancel : result;
}

void ShowMessageDialog(const QString& text) { MessageDialog(text, mtCustom, Btn(mbOK), 0); }
