#include "decoding/Json.h"

#include "../support/TestSupport.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

using Json::Value;

struct Outcome
{
    std::optional<Value> value;
    QString error;
};

Outcome parseBytes(const QByteArray &bytes)
{
    // An exact-size copy without the terminating NUL a QByteArray keeps, so that a read past the end is
    // caught by the address sanitizer instead of finding a zero.
    const std::unique_ptr<char[]> exact(new char[std::size_t(bytes.size())]);
    std::memcpy(exact.get(), bytes.constData(), std::size_t(bytes.size()));
    const QByteArray view = QByteArray::fromRawData(exact.get(), bytes.size());
    Json::Parser parser;
    Outcome out;
    out.value = parser.objectWithData(&view);
    out.error = parser.error();
    return out;
}

Outcome parse(const char *utf8)
{
    return parseBytes(QByteArray(utf8));
}

QByteArray nested(int depth)
{
    return QByteArray(depth, '[') + QByteArray(depth, ']');
}

// Rejected input: every failure names its cause exactly.

TEST(JsonRejects, WithExactMessage)
{
    const struct
    {
        const char *error;
        std::initializer_list<QByteArray> inputs;
    } cases[] = {
        // Numbers
        {"Leading zero is illegal in number at offset 1", {"[01]"}},
        {"Leading zero is illegal in number at offset 6", {"{\"a\": -012}"}},
        {"No digits after initial minus", {"[-]", "[-a]"}},
        {"No digits after decimal point at offset 1", {"[1.]"}},
        {"No digits after decimal point at offset 5", {"[10, 2.,3]"}},
        {"No digits after exponent mark at offset 1", {"[1e]"}},
        {"No digits after exponent mark at offset 2", {"[ 2.5E+]"}},
        {"Leading + is illegal in numbers at offset 1", {"[+1]"}},
        {"Unrecognised leading character at offset 2", {"[0x10]"}},
        // Tokens; offsets count UTF-8 bytes ("ж" takes two).
        {"Unrecognised leading character at offset 1", {"[.5]", "[x]", "[True]"}},
        {"Unrecognised leading character at offset 6", {"{\"a\": 'b'}"}},
        {"Unrecognised leading character at offset 7", {"[\"\xD0\xB6\", x]"}},
        {"Unrecognised leading character at offset 3", {QByteArray("[1,\0]", 5)}},
        {"Expected 'true' but found 'tru]'.", {"[tru]"}},
        {"Expected 'true' but found 'tru'.", {"[tru"}},
        {"Expected 'false' but found 'fals]'.", {"[fals]"}},
        {"Expected 'null' but found 'noth'.", {"{\"a\":nothing}"}},
        // Strings
        {"Unescaped control char 0x09", {"[\"a\tb\"]"}},
        {"Unescaped control char 0x0A", {"[\"a\nb\"]"}},
        {"Unescaped control char 0x1F", {"[\"\x1F\"]"}},
        {"Unescaped control char 0x00", {QByteArray("[\"a\0\"]", 5)}},
        {"Broken escape character at index 4 in token starting at offset 1", {"[\"ab\\x\"]"}},
        {"Broken escape character at index 2 in token starting at offset 6", {"{\"k\": \"\\q\"}"}},
        {"Broken escape character at index 2 in token starting at offset 1", {"[\"\\v\"]"}},
        {"Missing hex quad", {"[\"\\u12G4\"]", "[\"\\u12\"]"}},
        {"Missing low character in surrogate pair",
         {"[\"\\ud834\"]", "[\"\\uD834abc\"]", "[\"\\ud834\\n\"]", "[\"\\ud834\\uZZZZ\"]"}},
        {"Invalid low surrogate char", {"[\"\\ud834\\u0041\"]", "[\"\\ud834\\ud834\"]"}},
        {"Invalid high character in surrogate pair", {"[\"\\udd1e\"]"}},
        // Grammar
        {"Token 'string' not expected before outer-most array or object", {"\"abc\""}},
        {"Token 'number' not expected before outer-most array or object", {"42"}},
        {"Token 'boolean' not expected before outer-most array or object", {" true "}},
        {"Token 'null' not expected before outer-most array or object", {"null"}},
        {"Token 'end of array' not expected before outer-most array or object", {"]"}},
        {"Token 'value separator' not expected before outer-most array or object", {",[]"}},
        {"Token 'number' not expected after array value", {"[1 2]"}},
        {"Token 'value separator' not expected at array start", {"[,1]"}},
        {"Token 'end of array' not expected as array value", {"[1,]"}},
        {"Token 'key-value separator' not expected after array value", {"[1:2]"}},
        {"Token 'end of object' not expected after array value", {"[1}"}},
        {"Token 'number' not expected at beginning of object", {"{1:2}"}},
        {"Token 'number' not expected after object key", {"{\"a\" 1}"}},
        {"Token 'end of object' not expected as object value", {"{\"a\":}"}},
        {"Token 'end of object' not expected in place of object key", {"{\"a\":1,}"}},
        {"Token 'null' not expected in place of object key", {"{\"a\":1,null:2}"}},
        {"Token 'string' not expected after object value", {"{\"a\":1 \"b\":2}"}},
        {"Token 'end of array' not expected after object value", {"{\"a\":[1]]"}},
        // Input that stops before the outermost value closes; a token cut by the end counts as unfinished.
        {"Didn't find full object before EOF",
         {"", " \t\r\n\f\v", "[", "{\"a\":1", "[\"abc", "[\"abc\\", "[\"\\u00", "[\"\\ud834",
          "[\"\\ud834\\udd", "[\"\\ud834\\", "[\"\\ud834\\u", "[1,", "[12", "[-", "[1.", "[1e-", "[[],{}"}},
    };
    for (const auto &c : cases) {
        for (const QByteArray &input : c.inputs) {
            const Outcome out = parseBytes(input);
            EXPECT_FALSE(out.value.has_value()) << input.toStdString();
            EXPECT_EQ(out.error.toStdString(), std::string(c.error)) << input.toStdString();
        }
    }
}

// Structure

TEST(JsonStructure, AcceptedInputPrintsAsItsValue)
{
    const struct
    {
        const char *input;
        const char *compact;
    } cases[] = {
        {" [ ] ", "[]"},
        {"\f\v{}", "{}"},
        // Text after the outermost value is ignored.
        {"{\"a\": [1, {\"b\": null}]} trailing garbage ] } \"unterminated", "{\"a\":[1,{\"b\":null}]}"},
        {"[true]]]]", "[true]"},
        // A number ends at every delimiter.
        {"{\"a\":1,\"b\":-2.5}", "{\"a\":1,\"b\":-2.5}"},
        {"[1\t,2\n,3 ]", "[1,2,3]"},
        // Escapes decode (and print again as JSON needs them); a surrogate pair is one astral character, as
        // its raw UTF-8 is.
        {R"(["\"\\\/\b\f\n\r\t", "\u0041\u00e9\u0416\u20AC", "a\u0000b"])",
         "[\"\\\"\\\\/\\b\\f\\n\\r\\t\",\"A\xC3\xA9\xD0\x96\xE2\x82\xAC\",\"a\\u0000b\"]"},
        {R"(["\ud834\udd1e", "\uD834\uDD1E"])", "[\"\xF0\x9D\x84\x9E\",\"\xF0\x9D\x84\x9E\"]"},
        {"[\"\xF0\x9D\x84\x9E\"]", "[\"\xF0\x9D\x84\x9E\"]"},
        // Numbers print in their shortest exact form, empty containers as such.
        {"{ \"name\" : \"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE \\\"q\\\" \\\\ \\/ \\t\\n\\u0001\\u001f\" ,\n"
         "  \"n\": [0, -7, 1.5, 1e2, 123456789012, 1.2345678, true, false, null], \"empty\": {}, \"list\": "
         "[[], [{}]] }",
         "{\"name\":\"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE \\\"q\\\" \\\\ / \\t\\n\\u0001\\u001f\","
         "\"n\":[0,-7,1.5,100,123456789012,1.2345678,true,false,null],\"empty\":{},\"list\":[[],[{}]]}"},
        // Raw UTF-8 and escapes in keys and values.
        {"{\"\xD0\xB8\xD1\x81\xD0\xBF\":\"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\",\"t\\u00eftle\":\"x\"}",
         "{\"\xD0\xB8\xD1\x81\xD0\xBF\":\"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\",\"t\xC3\xAFtle\":\"x\"}"},
    };
    for (const auto &c : cases) {
        const Outcome out = parse(c.input);
        ASSERT_TRUE(out.value) << c.input << ": " << out.error.toStdString();
        EXPECT_TRUE(out.error.isEmpty());
        EXPECT_EQ(out.value->toCompactJson(), QString::fromUtf8(c.compact));
        // The output reads back to the same tree.
        const Outcome again = parse(c.compact);
        ASSERT_TRUE(again.value) << c.compact << ": " << again.error.toStdString();
        EXPECT_EQ(again.value->toCompactJson(), QString::fromUtf8(c.compact));
    }
}

TEST(JsonStructure, NestedValuesLandInTheirParents)
{
    const Outcome out =
        parse("{\"list\": [1, [2, 3], {\"x\": false}], \"map\": {\"y\": [], \"z\": {}}, \"s\": \"t\"}");
    ASSERT_TRUE(out.value) << out.error.toStdString();
    const Value &root = *out.value;
    ASSERT_EQ(root.size(), 3u);
    const Value *list = root.value("list");
    ASSERT_TRUE(list && list->isArray());
    EXPECT_EQ(list->toCompactJson(), "[1,[2,3],{\"x\":false}]");
    EXPECT_EQ(list->items()[1].items()[1].toInteger(), 3);
    const Value *x = list->items()[2].value("x");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->type(), Value::Type::Boolean);
    EXPECT_FALSE(x->toBool());
    const Value *map = root.value("map");
    ASSERT_TRUE(map && map->isObject());
    EXPECT_TRUE(map->value("y")->isArray());
    EXPECT_TRUE(map->value("z")->isObject());
    EXPECT_EQ(root.value("s")->toString(), "t");
    EXPECT_EQ(root.value("missing"), nullptr);
    EXPECT_EQ(list->value("list"), nullptr); // not an object
}

TEST(JsonStructure, DepthLimit)
{
    const Outcome ok = parseBytes(nested(512));
    ASSERT_TRUE(ok.value) << ok.error.toStdString();
    const Value *v = &*ok.value;
    int depth = 1;
    while (v->size() == 1) {
        v = &v->items()[0];
        ++depth;
    }
    EXPECT_EQ(depth, 512);

    const Outcome deep = parseBytes(nested(513));
    EXPECT_FALSE(deep.value);
    EXPECT_EQ(deep.error, "Parser exceeded max depth of 512");

    // Objects count the same as arrays, and the limit is checked before the input runs out.
    QByteArray mixed;
    for (int i = 0; i < 513; ++i)
        mixed += (i % 2) ? "{\"k\":" : "[";
    EXPECT_EQ(parseBytes(mixed).error, "Parser exceeded max depth of 512");

    Json::Parser parser;
    parser.maxDepth = 2;
    const QByteArray two = nested(2);
    EXPECT_TRUE(parser.objectWithData(&two));
    const QByteArray three = nested(3);
    EXPECT_FALSE(parser.objectWithData(&three));
    EXPECT_EQ(parser.error(), "Parser exceeded max depth of 2");
}

// Small objects find keys by a scan, bigger ones through an index: the same rules on both sides of the
// threshold (16), parsed or built by hand.
TEST(JsonStructure, DuplicateKeyKeepsFirstPlaceAndLastValue)
{
    for (const int size : {3, 16, 17, 300}) {
        SCOPED_TRACE(size);
        QByteArray text = "{";
        Value byHand = Value::object();
        for (int i = 0; i < size; ++i) {
            text += "\"k" + QByteArray::number(i) + "\":" + QByteArray::number(i) + ",";
            byHand.insert(QStringLiteral("k%1").arg(i), Value::integer(i));
        }
        // Every other key again, as a string, spelt with an escape in the text: still the same key.
        for (int i = 0; i < size; i += 2) {
            text += "\"\\u006b" + QByteArray::number(i) + "\":\"v" + QByteArray::number(i) + "\",";
            byHand.insert(QStringLiteral("k%1").arg(i), Value::string(QStringLiteral("v%1").arg(i)));
        }
        text += "\"last\":true}";
        byHand.insert("last", Value::boolean(true));
        const Outcome out = parseBytes(text);
        ASSERT_TRUE(out.value) << out.error.toStdString();
        // In order of first place, with the last value.
        QString expected = "{";
        for (int i = 0; i < size; ++i)
            expected += QStringLiteral("\"k%1\":%2,")
                            .arg(i)
                            .arg(i % 2 ? QString::number(i) : QStringLiteral("\"v%1\"").arg(i));
        expected += "\"last\":true}";
        for (const Value *object : {&*out.value, &std::as_const(byHand)}) {
            EXPECT_EQ(object->toCompactJson(), expected);
            for (int i = 0; i < size; ++i)
                EXPECT_EQ(object->value(QStringLiteral("k%1").arg(i)), &object->members()[i].second) << i;
        }
    }
}

TEST(JsonStructure, CopiesDoNotShareLaterChanges)
{
    const Outcome out = parse("{\"list\":[1,2],\"n\":0}");
    ASSERT_TRUE(out.value);
    Value copy = *out.value;
    copy.insert("n", Value::integer(5));
    copy.insert("new", Value());
    Value list = *copy.value("list");
    list.append(Value::integer(3));
    list.items()[0] = Value::boolean(true);
    EXPECT_EQ(out.value->toCompactJson(), "{\"list\":[1,2],\"n\":0}");
    EXPECT_EQ(copy.toCompactJson(), "{\"list\":[1,2],\"n\":5,\"new\":null}");
    EXPECT_EQ(list.toCompactJson(), "[true,2,3]");
}

// Strings

TEST(JsonStrings, RepeatedKeysAcrossObjectsStayDistinct)
{
    // Keys are decoded once and reused; neighbouring keys that share a hash slot must still read back right.
    QByteArray text = "[";
    for (int i = 0; i < 200; ++i)
        text += "{\"id\":" + QByteArray::number(i) + ",\"k" + QByteArray::number(i % 70) + "\":1},";
    text += "{}]";
    const Outcome out = parseBytes(text);
    ASSERT_TRUE(out.value) << out.error.toStdString();
    EXPECT_EQ(out.value->toCompactJson(), QString::fromUtf8(text));
}

// Numbers: short integers and short fractions become machine numbers, everything longer stays exact.

TEST(JsonNumbers, KindAndValue)
{
    // The value is checked against the text it prints as.
    const struct
    {
        const char *token;
        Value::Type type;
        const char *text; // toString()
    } cases[] = {{"0", Value::Type::Integer, "0"},
                 {"-0", Value::Type::Integer, "0"},
                 {"12345678901", Value::Type::Integer, "12345678901"},
                 {"-1234567890", Value::Type::Integer, "-1234567890"},
                 {"123456789012", Value::Type::Decimal, "123456789012"},
                 {"-12345678901", Value::Type::Decimal, "-12345678901"},
                 {"123456789012345678901234567890", Value::Type::Decimal, "123456789012345678901234567890"},
                 {"1.2345", Value::Type::Double, "1.2345"},
                 {"-0.125", Value::Type::Double, "-0.125"},
                 {"1.5e10", Value::Type::Double, "1.5e+10"},
                 {"1E2", Value::Type::Double, "100"},
                 {"1e400", Value::Type::Double, "inf"},
                 {"1e-400", Value::Type::Double, "0"},
                 {"1.23456", Value::Type::Decimal, "1.23456"},
                 {"1.2345678", Value::Type::Decimal, "1.2345678"},
                 {"1.50e+1", Value::Type::Decimal, "15"},
                 {"123456.7890", Value::Type::Decimal, "123456.789"},
                 {"1.2345678e3", Value::Type::Decimal, "1234.5678"},
                 {"12345678e-10", Value::Type::Decimal, "0.0012345678"},
                 {"-0.00000100", Value::Type::Decimal, "-0.000001"},
                 {"-0.0000000", Value::Type::Decimal, "0"},
                 {"1234567E+10", Value::Type::Decimal, "12345670000000000"},
                 {"1.25e999999999", Value::Type::Decimal, "1.25e999999999"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.token);
        const Outcome out = parseBytes(QByteArray("[") + c.token + "]");
        ASSERT_TRUE(out.value) << out.error.toStdString();
        const Value &v = out.value->items().at(0);
        EXPECT_TRUE(v.isNumber());
        ASSERT_EQ(int(v.type()), int(c.type));
        if (c.type == Value::Type::Integer) {
            EXPECT_EQ(v.toInteger(), QByteArray(c.text).toLongLong());
        } else if (c.type == Value::Type::Double) {
            EXPECT_DOUBLE_EQ(v.toDouble(), QByteArray(c.text).toDouble());
        }
        EXPECT_EQ(v.toString().toStdString(), std::string(c.text));
    }
}

TEST(JsonNumberUse, DecimalConvertsToMachineNumbers)
{
    const Outcome out = parse("[123456789012, 1.2345678, 99999999999999999999999]");
    ASSERT_TRUE(out.value);
    const auto &items = out.value->items();
    EXPECT_EQ(items[0].toInteger(), 123456789012LL);
    EXPECT_DOUBLE_EQ(items[1].toDouble(), 1.2345678);
    EXPECT_EQ(items[1].toInteger(), 1);
    EXPECT_EQ(items[2].toInteger(), std::numeric_limits<qint64>::max());
}

// Entry points

TEST(JsonEntryPoints, MissingInputAnErrorClearedBySuccessAndOffsetsInUtf8Bytes)
{
    Json::Parser parser;
    EXPECT_FALSE(parser.objectWithString(nullptr));
    EXPECT_EQ(parser.error(), "Input was 'nil'");
    EXPECT_FALSE(parser.objectWithData(nullptr));
    EXPECT_EQ(parser.error(), "Input was 'nil'");

    const QString bad = QString::fromUtf8("[\"\xD0\xB6\xD0\xB6\", 01]");
    EXPECT_FALSE(parser.objectWithString(&bad));
    EXPECT_EQ(parser.error(), "Leading zero is illegal in number at offset 9");
    const QString good = QString::fromUtf8("{\"\xD0\xB6\":[1]}");
    const auto v = parser.objectWithString(&good);
    ASSERT_TRUE(v);
    EXPECT_TRUE(parser.error().isEmpty());
    EXPECT_EQ(v->value(QString::fromUtf8("\xD0\xB6"))->items().at(0).toInteger(), 1);
}

TEST(JsonEntryPoints, JSONValueLogsFailures)
{
    TestSupport::LogCapture log;
    EXPECT_FALSE(JSONValue("\"just text\""));
    EXPECT_FALSE(JSONValue("[1,"));
    EXPECT_EQ(log.lines(),
              QStringList({QStringLiteral(
                               "-JSONValue failed. Error is: Token 'string' not expected before outer-most "
                               "array or object"),
                           "-JSONValue failed. Error is: Didn't find full object before EOF"}));

    const auto ok = JSONValue("{\"response\":[1]}");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->value("response")->size(), 1u);
    EXPECT_EQ(log.lines().size(), 2); // success logs nothing
}

// Compact output

TEST(JsonCompactOutput, ValuesMadeInCode)
{
    Value list = Value::array();
    list.append(Value::floating(0.1));
    list.append(Value::floating(-2.0));
    list.append(Value::floating(1e300 * 1e300));
    list.append(Value::string(QString(QChar(0xD800)) + QStringLiteral("\b\f\r\x7f") + QChar(0x9B) +
                              QChar(0x2028) + QStringLiteral("é")));
    list.append(Value::decimal("12345678901234567890"));
    list.append(Value::boolean(true));
    list.append(Value());
    EXPECT_EQ(
        list.toCompactJson(),
        // DEL, a C1 control and a line separator are escaped too: a printed line stays one line.
        QStringLiteral("[0.1,-2,1e999,\"\\ud800\\b\\f\\r\\u007f\\u009b\\u2028é\",12345678901234567890,true,"
                       "null]"));
    EXPECT_EQ(Value().toCompactJson(), "null");
}

// Robustness: damaged input fails cleanly.

TEST(JsonRobustness, EveryTruncationFails)
{
    const QByteArray doc = R"({"a":[1,-2.5e3,"x\u00e9\ud834\udd1e\n",true,false,null,{"b":{}}],"c":"d"})";
    ASSERT_TRUE(parseBytes(doc).value);
    for (qsizetype n = 0; n < doc.size(); ++n) {
        const Outcome out = parseBytes(doc.left(n));
        EXPECT_FALSE(out.value) << n;
        EXPECT_FALSE(out.error.isEmpty()) << n;
    }
}

TEST(JsonRobustness, RandomDamageNeverCrashes)
{
    const QByteArray doc =
        R"([{"artist":"Кино","title":"Группа \"крови\"","id":123,"d":1.5},[true,null,-0.5e-3]])";
    std::mt19937 random(1234);
    const char interesting[] = "[]{}\",:\\u0e-+.tfn \x01\xD0\xFF";
    int accepted = 0;
    for (int round = 0; round < 5000; ++round) {
        QByteArray damaged = doc;
        const int edits = 1 + int(random() % 3);
        for (int e = 0; e < edits; ++e) {
            const qsizetype at = qsizetype(random() % damaged.size());
            const char c = interesting[random() % (sizeof interesting - 1)];
            switch (random() % 3) {
            case 0:
                damaged[at] = c;
                break;
            case 1:
                damaged.insert(at, c);
                break;
            default:
                damaged.remove(at, 1);
                break;
            }
        }
        const Outcome out = parseBytes(damaged);
        if (out.value) {
            ++accepted;
            EXPECT_TRUE(out.error.isEmpty());
            // Whatever was accepted prints as JSON that reads back. A printed short double may come back as
            // an exact decimal, so the text is stable from the second print on.
            const QString printed = out.value->toCompactJson();
            const Outcome again = parseBytes(printed.toUtf8());
            ASSERT_TRUE(again.value) << printed.toStdString();
            const QString reprinted = again.value->toCompactJson();
            const Outcome third = parseBytes(reprinted.toUtf8());
            ASSERT_TRUE(third.value) << reprinted.toStdString();
            EXPECT_EQ(third.value->toCompactJson(), reprinted);
        } else {
            EXPECT_FALSE(out.error.isEmpty()) << damaged.toStdString();
        }
    }
    EXPECT_GT(accepted, 0);
}

} // namespace
