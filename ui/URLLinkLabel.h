#pragma once

#include <QLabel>
#include <QString>

enum tURLLinkType { ltfile, ltftp, ltgopher, lthttp, lthttps, ltmailto, ltnews, lttelnet, ltwais };

// The text put in front of a link of `type`: "http://", "mailto:"...
QString LinkPrefix(tURLLinkType type);

// A label that opens its link with the desktop's handler when pressed with the left
// button. New labels are underlined, blue, show the hand cursor and have no caption.
class TURLLinkLabel : public QLabel {
    Q_OBJECT

public:
    // `owner` is the window the label stands on.
    explicit TURLLinkLabel(QWidget* owner);

    // lthttp unless set.
    tURLLinkType LinkType() const { return FLinkType; }
    void SetLinkType(tURLLinkType type) { FLinkType = type; }
    // The link without its prefix; setting it also gives an empty caption this text.
    const QString& HyperLink() const { return FHyperLink; }
    void SetHyperLink(const QString& link);

    // The prefix of LinkType followed by HyperLink, as given: a link that already has a
    // prefix gets a second one.
    QString Link() const { return LinkPrefix(FLinkType) + FHyperLink; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    tURLLinkType FLinkType = lthttp;
    QString FHyperLink;
};
