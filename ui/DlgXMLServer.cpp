#include "DlgXMLServer.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QToolButton>

#include "DocumentText.h"
#include "MessageForm.h"
#include "SelvaneApplication.h"
#include "UKvXmlRpc.h"

namespace {

// The message under its heading, each tag on a line of its own; an element holding only
// text keeps its tags and text on one line.
void ShowExample(const QString& heading, const std::string& xml)
{
    const QString text = FromDocumentText(xml).replace(QStringLiteral("><"), QStringLiteral(">\r<"));
    ShowMessageDialog(heading + QStringLiteral("\r\r") + text);
}

} // namespace

QString FileDialogFolder(const QString& document)
{
    const QFileInfo beside(QCoreApplication::applicationDirPath() + QStringLiteral("/Projects"));
    if (beside.isDir() && beside.isWritable())
        return beside.absoluteFilePath() + QLatin1Char('/');
    if (!document.isEmpty())
        if (const QFileInfo folder(QFileInfo(document).absolutePath()); folder.isDir())
            return folder.absoluteFilePath() + QLatin1Char('/');
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return (QFileInfo(documents).isDir() ? documents : QDir::homePath()) + QLatin1Char('/');
}

QString FileDialogFilter(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString pattern = QStringLiteral("(") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QStringLiteral(")");
        filters << (parts[i].endsWith(pattern) ? parts[i] : parts[i] + QLatin1Char(' ') + pattern);
    }
    return filters.join(QStringLiteral(";;"));
}

TFilenameEdit::TFilenameEdit(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FEdit = new QLineEdit(this);
    FEdit->setObjectName(QStringLiteral("edit"));
    FButton = new QToolButton(this);
    FButton->setObjectName(QStringLiteral("browse"));
    FButton->setText(QStringLiteral("..."));
    FButton->setToolTip(QStringLiteral("Browse"));
    layout->addWidget(FEdit);
    layout->addWidget(FButton);
    setFocusProxy(FEdit);
    connect(FButton, &QToolButton::clicked, this, &TFilenameEdit::Browse);
}

QString TFilenameEdit::Text() const { return FEdit->text(); }

void TFilenameEdit::SetText(const QString& text) { FEdit->setText(text); }

QString TFilenameEdit::FileName() const
{
    const QString text = Text();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')) && text.contains(QLatin1Char(' ')))
        return text.mid(1, text.size() - 2);
    return text;
}

void TFilenameEdit::Browse()
{
    QFileDialog dialog(this, QString(), FInitialDir, FileDialogFilter(FFilter));
    dialog.setObjectName(QStringLiteral("BrowseDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    SetText(chosen.contains(QLatin1Char(' ')) ? QLatin1Char('"') + chosen + QLatin1Char('"') : chosen);
}

TDlgXMLServerList::TDlgXMLServerList(QWidget* parent) : TStyleForm(parent)
{
    setObjectName(QStringLiteral("TDlgXMLServerList"));
    setWindowTitle(QStringLiteral("XML Server"));
    setFixedSize(395, 103);

    auto place = [](QWidget* widget, const char* name, int left, int top, int width = -1) {
        widget->setObjectName(QString::fromUtf8(name));
        widget->adjustSize();
        widget->move(left, top);
        if (width > 0)
            widget->resize(width, widget->height());
    };
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    place(OKBtn, "OKBtn", 13, 68, 75);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    place(CancelBtn, "CancelBtn", 95, 67, 75);
    fexmlfile = new TFilenameEdit(this);
    place(fexmlfile, "fexmlfile", 13, 34, 372);
    fexmlfile->SetFilter(QStringLiteral("XML files (*.xml)|*.xml"));
    rbusefile = new QRadioButton(QStringLiteral("Use XML File"), this);
    place(rbusefile, "rbusefile", 13, 11);
    rbuserpc = new QRadioButton(QStringLiteral("Use RPC XML request"), this);
    place(rbuserpc, "rbuserpc", 13, 221);
    rbuserpc->setEnabled(false);
    erpcserver = new QLineEdit(QStringLiteral("http://localhost:8080/RPC2"), this);
    place(erpcserver, "erpcserver", 13, 246, 279);
    BtnRequest = new QPushButton(QStringLiteral("Request"), this);
    place(BtnRequest, "BtnRequest", 14, 280);
    BtnResponse = new QPushButton(QStringLiteral("Response"), this);
    place(BtnResponse, "BtnResponse", 115, 279);
    BtnFault = new QPushButton(QStringLiteral("Fault"), this);
    place(BtnFault, "BtnFault", 216, 279);
    for (QPushButton* button : {BtnRequest, BtnResponse, BtnFault})
        button->setCursor(Qt::PointingHandCursor);

    auto* group = new QButtonGroup(this);
    group->addButton(rbusefile);
    group->addButton(rbuserpc);
    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, fexmlfile);
    setTabOrder(fexmlfile, rbusefile);

    connect(rbusefile, &QRadioButton::clicked, this, &TDlgXMLServerList::UpdateControls);
    connect(rbuserpc, &QRadioButton::clicked, this, &TDlgXMLServerList::UpdateControls);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        OKBtnClick();
        accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(BtnRequest, &QPushButton::clicked, this, [this] { Guarded([this] { BtnRequestClick(); }); });
    connect(BtnResponse, &QPushButton::clicked, this, [this] { Guarded([this] { BtnResponseClick(); }); });
    connect(BtnFault, &QPushButton::clicked, this, [this] { Guarded([this] { BtnFaultClick(); }); });
    FinishCreate();
}

void TDlgXMLServerList::showEvent(QShowEvent* event)
{
    FormShow();
    TStyleForm::showEvent(event);
}

void TDlgXMLServerList::FormShow()
{
    fexmlfile->SetInitialDir(FileDialogFolder(FSource));
    rbusefile->setChecked(true);
    fexmlfile->SetText(FSource);
    UpdateControls();
    fexmlfile->setFocus();
}

void TDlgXMLServerList::UpdateControls()
{
    fexmlfile->setEnabled(rbusefile->isChecked());
    for (QWidget* widget : std::initializer_list<QWidget*>{erpcserver, BtnRequest, BtnResponse, BtnFault})
        widget->setEnabled(rbuserpc->isChecked());
}

void TDlgXMLServerList::OKBtnClick()
{
    FSource = rbusefile->isChecked() ? fexmlfile->FileName() : erpcserver->text();
}

void TDlgXMLServerList::BtnRequestClick()
{
    TKvXmlRpcCall call;
    call.MethodCall().SetMethodName(erpcserver->text());
    const TXMLParamsType params = call.MethodCall().Params();
    params.Add().SetInt(14);
    params.Add().SetI4(27);
    params.Add().SetBoolean(1);
    params.Add().SetString(QStringLiteral("Hello, World!"));
    params.Add().SetDouble(QStringLiteral("12.214"));
    ShowExample(QStringLiteral("Request example:"), call.GetXML());
}

void TDlgXMLServerList::BtnResponseClick()
{
    TKvXmlRpcResponse response;
    const TXMLParamsType params = response.MethodResponse().Params();
    params.Add().SetNodeText(QStringLiteral("South Dakota"));
    params.Add().SetDateTimeIso8601(FromDocumentText(TKvXmlRpcBase::DateTimeToXml(QDateTime::currentDateTime())));
    params.Add().SetBoolean(TKvXmlRpcBase::BoolToXml(false));
    params.Add().SetBase64(FromDocumentText(TKvXmlRpcBase::EncodeBase64("Selvane")));
    ShowExample(QStringLiteral("Response example:"), response.GetXML());
}

void TDlgXMLServerList::BtnFaultClick()
{
    TKvXmlRpcResponse response;
    response.SetFault(4, "Too many paramaters.");
    ShowExample(QStringLiteral("(Fault) Response example:"), response.GetXML());
}

QString SelectXmlSource(const QString& CurrentSource, QWidget* parent)
{
    TDlgXMLServerList dialog(parent);
    dialog.FSource = CurrentSource;
    if (dialog.exec() == QDialog::Accepted)
        return dialog.FSource;
    return CurrentSource;
}
