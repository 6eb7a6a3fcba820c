#include "Translations.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidget>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "ActionList.h"
#include "CodePage.h"
#include "ComponentSettings.h"
#include "ProgramData.h"
#include "SafeFile.h"

namespace {

struct TTables {
    TTranslationTable Forms;
    TTranslationTable Captions;
    TTranslationTable Hints;
    // Read like the others, but nothing looks anything up in them.
    TTranslationTable Translate;
    TTranslationTable Shortcuts;
};

std::unique_ptr<TTables>& Tables()
{
    static std::unique_ptr<TTables> tables;
    return tables;
}

// Tables hold short texts: a larger file is not read at all, and a longer line is cut, so
// that a damaged or hostile table cannot freeze the program or break its windows.
constexpr std::size_t MaxTableBytes = 16 * 1024 * 1024;
constexpr qsizetype MaxLineLength = 4096;

void Notice(const QString& file, const char* what)
{
    std::fprintf(stderr, "selvane: the translation table \"%s\" %s\n", QDir::toNativeSeparators(file).toLocal8Bit().constData(), what);
}

TTranslationTable ReadTable(const QString& file)
{
    std::string bytes;
    std::string reason;
    if (!ReadRegularFile(file.toStdString(), bytes, reason, MaxTableBytes)) {
        if (errno == EFBIG)
            Notice(file, "is larger than 16 MB and is not used; the designed texts stay");
        return {};
    }
    const std::u16string wide = Cp1252ToUtf16(bytes);
    QStringList lines = QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()))
                            .split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    // The line end of the last line starts no line of its own.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    bool cut = false;
    for (QString& line : lines) {
        if (line.size() > MaxLineLength) {
            line.truncate(MaxLineLength);
            cut = true;
        }
    }
    if (cut)
        Notice(file, "has lines longer than 4096 characters; they are cut there");
    return lines;
}

QString Hint(const QObject* component) { return component->property("statusTip").toString(); }

void SetHint(QObject* component, const QString& designed, const QString& hint)
{
    // An untouched hint keeps whatever tool tip the design gave.
    if (hint == designed)
        return;
    component->setProperty("statusTip", hint);
    component->setProperty("toolTip", hint);
}

// The texts of a label, button, group box or check box, keyed by the texts themselves.
template <typename TControl, typename TGet, typename TSet>
bool TranslateCaption(QObject* component, TGet get, TSet set)
{
    auto* control = qobject_cast<TControl*>(component);
    if (!control)
        return false;
    const QString name = control->objectName();
    (control->*set)(Translate(name, (control->*get)(), FormsTable(), true));
    const QString hint = Hint(control);
    SetHint(control, hint, Translate(name, hint, HintsTable(), true));
    return true;
}

void TranslateComboBox(QComboBox* box)
{
    const QString name = box->objectName();
    for (int i = 0; i < box->count(); ++i) {
        try {
            box->setItemText(i, Translate(name + QLatin1Char('_') + QString::number(i + 1), box->itemText(i), CaptionsTable(), false));
        } catch (const std::exception&) {
            // One item that fails keeps its text; the others are still translated.
        }
    }
    const QString hint = Hint(box);
    SetHint(box, hint, Translate(name, hint, HintsTable(), false));
}

QHash<qintptr, QObject*>& HelpContexts()
{
    static QHash<qintptr, QObject*> contexts;
    return contexts;
}

qintptr NewHelpContext(QObject* component)
{
    // Numbers are never given twice, so one kept from a destroyed window names nothing.
    static qintptr last = 0;
    const qintptr context = ++last;
    HelpContexts().insert(context, component);
    QObject::connect(component, &QObject::destroyed, [context] { HelpContexts().remove(context); });
    return context;
}

void TranslateActions(const TActionList* list)
{
    for (QAction* action : list->Actions()) {
        try {
            const QString name = action->objectName();
            action->setText(Translate(name, action->text(), CaptionsTable(), false));
            const QString designed = Hint(action);
            const QString hint = designed.isEmpty() ? action->text() : designed;
            SetHint(action, designed, Translate(name, hint, HintsTable(), false));
            SetHelpKeyword(action, name);
            SetHelpContext(action, static_cast<int>(NewHelpContext(action)));
        } catch (const std::exception&) {
            // The other commands are still translated.
        }
    }
}

void TranslateComponent(QObject* component)
{
    if (auto* box = qobject_cast<QComboBox*>(component)) {
        TranslateComboBox(box);
        return;
    }
    if (const auto* list = qobject_cast<TActionList*>(component)) {
        TranslateActions(list);
        return;
    }
    // Option buttons are no push or check buttons here, and text edits no labels, so
    // both keep their texts.
    TranslateCaption<QLabel>(component, &QLabel::text, &QLabel::setText) ||
        TranslateCaption<QPushButton>(component, &QPushButton::text, &QPushButton::setText) ||
        TranslateCaption<QGroupBox>(component, &QGroupBox::title, &QGroupBox::setTitle) ||
        TranslateCaption<QCheckBox>(component, &QCheckBox::text, &QCheckBox::setText);
}

// The components a window owns: what its design created and named. The unnamed parts
// Qt builds inside its own widgets (a combo box's edit, a tool bar's buttons) are none.
bool IsComponent(const QObject* object)
{
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

} // namespace

void LoadTranslations()
{
    const QString folder = ProgramDataFolder(QStringLiteral("Protected")) + QStringLiteral("Protected/");
    const QString suffix = QStringLiteral("_e");
    auto tables = std::make_unique<TTables>();
    const std::pair<const char*, TTranslationTable*> files[] = {
        {"forms.txt", &tables->Forms},         {"captions.txt", &tables->Captions},   {"hints.txt", &tables->Hints},
        {"translate.txt", &tables->Translate}, {"shortcuts.txt", &tables->Shortcuts},
    };
    for (const auto& [base, table] : files)
        *table = ReadTable(folder + QString::fromUtf8(base) + suffix);
    Tables() = std::move(tables);
}

TTranslationTable* FormsTable() { return Tables() ? &Tables()->Forms : nullptr; }
TTranslationTable* CaptionsTable() { return Tables() ? &Tables()->Captions : nullptr; }
TTranslationTable* HintsTable() { return Tables() ? &Tables()->Hints : nullptr; }

bool IsNumber(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (!QStringLiteral("0123456789.,").contains(c))
            return false;
    return true;
}

QString Translate(const QString& key, const QString& text, TTranslationTable* table, bool UseTextAsKey)
{
    const QString& lookup = UseTextAsKey ? text : key;
    if (lookup.isEmpty() || text.isEmpty() || !table || IsNumber(lookup) || IsNumber(text))
        return text;
    for (const QString& line : *table) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals >= 0 && QStringView(line).left(equals).compare(lookup, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1);
    }
    table->append(lookup + QLatin1Char('=') + text);
    return text;
}

void TranslateForm(QWidget* window)
{
    window->setWindowTitle(Translate(window->objectName(), window->windowTitle(), FormsTable(), true));
    for (QObject* component : window->findChildren<QObject*>())
        if (IsComponent(component) && Tag(component) != 1)
            TranslateComponent(component);
}

QObject* ComponentOfHelpContext(qintptr context) { return HelpContexts().value(context); }
