// Text from the service, Last.fm and file names reaches the views as data. Qt's text items read a text that
// looks like markup as markup by default, and then draw it formatted and fetch any picture it names; so does
// every control that draws its caption, its title or its placeholder with such an item. These rules are
// checked over the views as compiled into the program; gui_test_plain_text shows what they guard against.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// One QML object declaration: its type, the line it starts on, its whole body, and its own bindings (those
// of the objects declared inside it and code blocks left out), by name, with the first line of each value.
struct Declaration
{
    QString type;
    int line = 0;
    QString body;
    QList<std::pair<QString, QString>> bindings;

    const QString *find(const QString &name) const
    {
        for (const auto &[key, value] : bindings) {
            if (key == name)
                return &value;
        }
        return nullptr;
    }
    QString value(const QString &name) const { return find(name) ? *find(name) : QString(); }
    bool has(const QString &name) const { return find(name) != nullptr; }
};

// Where the body opened at `open` (a '{') ends, and its text at its own depth: braces inside strings and
// comments do not count, nested braces are cut out with what they hold.
qsizetype blockEnd(const QString &source, qsizetype open, QString *own)
{
    int depth = 0;
    for (qsizetype i = open; i < source.size(); ++i) {
        const QChar c = source.at(i);
        const QChar next = i + 1 < source.size() ? source.at(i + 1) : QChar();
        qsizetype skipTo = i;
        if (c == u'"' || c == u'\'' || c == u'`') {
            skipTo = i + 1;
            while (skipTo < source.size() && source.at(skipTo) != c)
                skipTo += source.at(skipTo) == u'\\' ? 2 : 1;
        } else if (c == u'/' && next == u'/') {
            skipTo = source.indexOf(u'\n', i);
            if (skipTo < 0)
                skipTo = source.size();
            --skipTo; // the line break stays, it ends a binding
        } else if (c == u'/' && next == u'*') {
            skipTo = source.indexOf(QLatin1String("*/"), i);
            skipTo = skipTo < 0 ? source.size() : skipTo + 1;
        }
        if (skipTo != i) {
            if (depth == 1 && own && c != u'/')
                *own += source.mid(i, skipTo - i + 1);
            i = skipTo;
            continue;
        }
        if (c == u'{') {
            ++depth;
            continue;
        }
        if (c == u'}') {
            if (--depth == 0)
                return i;
            continue;
        }
        if (depth == 1 && own)
            *own += c;
    }
    return source.size();
}

QList<Declaration> declarations(const QString &source)
{
    static const QRegularExpression start(QStringLiteral(R"(\b([A-Z][\w.]*)\s*\{)"));
    static const QRegularExpression binding(QStringLiteral(R"(^\s*([\w.]+)\s*:\s*(.*?)\s*$)"));
    QList<Declaration> found;
    for (auto match = start.globalMatch(source); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        Declaration declaration;
        declaration.type = m.captured(1);
        declaration.line = int(source.left(m.capturedStart()).count(u'\n')) + 1;
        QString own;
        const qsizetype open = m.capturedEnd() - 1;
        const qsizetype end = blockEnd(source, open, &own);
        declaration.body = source.mid(open, end - open + 1);
        for (const QString &statement : own.split(QRegularExpression(QStringLiteral("[\n;]")))) {
            const QRegularExpressionMatch b = binding.match(statement);
            if (b.hasMatch())
                declaration.bindings.append({b.captured(1), b.captured(2)});
        }
        found.append(declaration);
    }
    return found;
}

// A text fixed in the view itself: a string, translated or not.
bool isLiteral(const QString &value)
{
    static const QRegularExpression literal(QStringLiteral(R"(^(qsTr\()?("[^"]*"|'[^']*')\)?$)"));
    return literal.match(value.trimmed()).hasMatch();
}

// What in `source` (the view `file`) could draw outside text as markup, one line per place.
QStringList faults(const QString &file, const QString &source)
{
    static const QStringList textItems = QStringLiteral("Label Text ToolTip TextArea TextEdit").split(u' ');
    static const QStringList controls =
        QStringLiteral("Button ToolButton RoundButton DelayButton ItemDelegate SwipeDelegate CheckDelegate "
                       "RadioDelegate SwitchDelegate MenuItem TabButton CheckBox RadioButton Switch")
            .split(u' ');
    static const QRegularExpression plain(QStringLiteral(R"(^Text\.PlainText$)"));
    static const QRegularExpression titleAssigned(QStringLiteral(R"(\.title\s*=[^=])"));
    static const QRegularExpression modelRole(QStringLiteral(R"(\bmodel\.)"));
    QStringList found;
    for (const Declaration &d : declarations(source)) {
        const QString where = QStringLiteral("%1:%2 %3").arg(file).arg(d.line).arg(d.type);
        if (textItems.contains(d.type) && d.has(QStringLiteral("text")) &&
            !isLiteral(d.value(QStringLiteral("text"))) &&
            !plain.match(d.value(QStringLiteral("textFormat"))).hasMatch())
            found << where + QStringLiteral(": text without textFormat: Text.PlainText");
        if (d.has(QStringLiteral("placeholderText")) &&
            !isLiteral(d.value(QStringLiteral("placeholderText"))))
            found << where + QStringLiteral(
                                 ": placeholderText that is not a fixed text (use PlainTextField's hint)");
        if (d.type == QLatin1String("Dialog") && !d.has(QStringLiteral("header")) &&
            ((d.has(QStringLiteral("title")) && !isLiteral(d.value(QStringLiteral("title")))) ||
             titleAssigned.match(d.body).hasMatch()))
            found << where +
                         QStringLiteral(": a title that is not a fixed text, drawn by the style's header");
        if (controls.contains(d.type) && modelRole.match(d.value(QStringLiteral("text"))).hasMatch() &&
            !d.has(QStringLiteral("contentItem")))
            found << where + QStringLiteral(": a caption from the model, drawn by the style's caption");
    }
    return found;
}

} // namespace

TEST(QmlPlainText, TheRulesFindEachWayOfDrawingOutsideTextAsMarkup)
{
    const QString sample = QStringLiteral(R"(Item {
    Label { text: qsTr("Fixed"); font.pixelSize: 12 }
    Label { text: "fixed" }
    Label {
        text: model.title
        elide: Text.ElideRight
    }
    Text { x: 1; text: model.artist }
    Label {
        text: model.title // "{" in a comment
        textFormat: Text.PlainText
        Text { text: model.name }
    }
    ToolTip {
        text: control.hint
        contentItem: Text { text: "}"; textFormat: Text.PlainText }
    }
    TextField { placeholderText: qsTr("Search") }
    TextField { placeholderText: view.controller.placeholder }
    Dialog { title: qsTr("Save") }
    Dialog { function ask(t) { dialog.title = t } }
    Dialog { title: name; header: Label { text: name; textFormat: Text.PlainText } }
    ItemDelegate { text: model.name }
    Button { text: model.name; contentItem: Label { text: parent.text; textFormat: Text.PlainText } }
    TabButton { text: modelData }
}
)");
    const QStringList found = faults(QStringLiteral("sample.qml"), sample);
    const QStringList expected{
        "sample.qml:4 Label: text without textFormat: Text.PlainText",
        "sample.qml:8 Text: text without textFormat: Text.PlainText",
        "sample.qml:12 Text: text without textFormat: Text.PlainText",
        "sample.qml:14 ToolTip: text without textFormat: Text.PlainText",
        "sample.qml:19 TextField: placeholderText that is not a fixed text (use PlainTextField's "
        "hint)",
        "sample.qml:21 Dialog: a title that is not a fixed text, drawn by the style's header",
        "sample.qml:23 ItemDelegate: a caption from the model, drawn by the style's caption",
    };
    EXPECT_EQ(found, expected) << found.join(u'\n').toStdString();
}

TEST(QmlPlainText, EveryViewDrawsTextThatIsNotFixedAsPlainText)
{
    const QDir views(QStringLiteral(":/qml/Melodrop"));
    const QStringList files = views.entryList({QStringLiteral("*.qml")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 20) << "the views are not in the program's resources";
    QStringList found;
    for (const QString &name : files) {
        QFile file(views.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        found << faults(name, QString::fromUtf8(file.readAll()));
    }
    EXPECT_TRUE(found.isEmpty()) << found.join(u'\n').toStdString();
}
