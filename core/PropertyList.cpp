#include "core/PropertyList.h"

#include "core/PropertyListReaders.h"
#include "core/Storage.h"

#include <QFile>
#include <QFileInfo>
#include <QVariantList>
#include <QVariantMap>

#include <plist/plist.h>

#include <vector>

namespace {

// Nothing for a value nested deeper than the readers take.
plist_t toPlist(const QVariant &value, int depth = 0)
{
    switch (value.typeId()) {
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        if (depth >= PropertyList::maxDepth)
            return nullptr;
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList()) {
            plist_t node = toPlist(item, depth + 1);
            if (!node) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, node);
        }
        return array;
    }
    case QMetaType::QVariantMap: {
        if (depth >= PropertyList::maxDepth)
            return nullptr;
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            plist_t node = toPlist(it.value(), depth + 1);
            if (!node) {
                plist_free(dict);
                return nullptr;
            }
            plist_dict_set_item(dict, it.key().toUtf8().constData(), node);
        }
        return dict;
    }
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

// Builds the QVariant tree of a list.
class VariantBuilder final : public PropertyList::Handler
{
public:
    QVariant &result() { return m_root; }

    void beginArray(qsizetype) override { m_stack.push_back({false, {}, {}, {}}); }
    void beginDict() override { m_stack.push_back({true, {}, {}, {}}); }
    void endContainer() override
    {
        Frame frame = std::move(m_stack.back());
        m_stack.pop_back();
        add(frame.dict ? QVariant(frame.map) : QVariant(frame.list));
    }
    void key(QString &&key) override { m_stack.back().key = std::move(key); }
    void string(QString &&text) override { add(QVariant(text)); }
    void integer(qint64 value) override { add(QVariant(value)); }
    void real(double value) override { add(QVariant(value)); }
    void boolean(bool value) override { add(QVariant(value)); }
    void other() override { add(QVariant()); }

private:
    struct Frame
    {
        bool dict;
        QVariantList list;
        QVariantMap map;
        QString key;
    };

    void add(const QVariant &value)
    {
        if (m_stack.empty())
            m_root = value;
        else if (m_stack.back().dict)
            m_stack.back().map.insert(m_stack.back().key, value); // a repeated key: the last value stays
        else
            m_stack.back().list.append(value);
    }

    std::vector<Frame> m_stack;
    QVariant m_root;
};

} // namespace

namespace PropertyList {

QString describe(Error error)
{
    switch (error) {
    case Error::None:
        return QStringLiteral("read");
    case Error::Missing:
        return QStringLiteral("no such file");
    case Error::NotOpened:
        return QStringLiteral("the file could not be opened");
    case Error::TooLarge:
        return QStringLiteral("larger than %1 MB").arg(maxFileSize / (1024 * 1024));
    case Error::TooDeep:
        return QStringLiteral("nested deeper than %1 levels").arg(maxDepth);
    case Error::Malformed:
        return QStringLiteral("no property list, or a damaged one");
    }
    return {};
}

Error parse(const QByteArray &data, Handler &handler)
{
    if (data.size() > maxFileSize)
        return Error::TooLarge;
    if (data.startsWith("bplist"))
        return Readers::parseBinary(reinterpret_cast<const unsigned char *>(data.constData()), data.size(),
                                    handler);
    return Readers::parseXml(data.constData(), data.constData() + data.size(), handler);
}

Error parseFile(const QString &path, Handler &handler)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Error::Missing;
    // Not a regular file (a folder, a pipe that would block the start): nothing a list could be read from.
    if (!info.isFile())
        return Error::NotOpened;
    if (info.size() > maxFileSize)
        return Error::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error::NotOpened;
    // A binary list is read whole: its objects are found through offsets, in any order.
    if (file.peek(6) != "bplist")
        return Readers::parseXml(&file, handler);
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Error::NotOpened;
    return parse(data, handler);
}

std::optional<QByteArray> toXml(const QVariant &root)
{
    plist_t plist = toPlist(root);
    if (!plist)
        return std::nullopt;
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(plist, &xml, &length);
    plist_free(plist);
    if (!xml)
        return std::nullopt;
    QByteArray data(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return data;
}

WriteResult write(const QString &path, const QVariant &root)
{
    const std::optional<QByteArray> data = toXml(root);
    if (!data)
        return WriteResult::Failed;
    if (data->size() > maxFileSize)
        return WriteResult::TooLarge;
    return Storage::writeAtomically(path, *data) ? WriteResult::Written : WriteResult::Failed;
}

std::optional<QVariant> read(const QString &path)
{
    VariantBuilder builder;
    if (parseFile(path, builder) != Error::None || !builder.result().isValid())
        return std::nullopt;
    return std::move(builder.result());
}

std::optional<QVariant> fromData(const QByteArray &data)
{
    VariantBuilder builder;
    if (parse(data, builder) != Error::None || !builder.result().isValid())
        return std::nullopt;
    return std::move(builder.result());
}

bool writeRequest(const QString &path, const QString &text)
{
    return write(path, QVariantList{text}) == WriteResult::Written;
}

std::optional<QString> readRequest(const QString &path)
{
    const std::optional<QVariant> root = read(path);
    if (!root || root->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const QVariantList list = root->toList();
    if (list.isEmpty() || list.first().typeId() != QMetaType::QString)
        return std::nullopt;
    return list.first().toString();
}

} // namespace PropertyList
