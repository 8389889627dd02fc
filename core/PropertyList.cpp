#include "core/PropertyList.h"

#include "core/Storage.h"

#include <QFile>
#include <QVariantList>
#include <QVariantMap>

#include <plist/plist.h>

namespace {

plist_t toPlist(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList())
            plist_array_append_item(array, toPlist(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toPlist(it.value()));
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

QVariant fromPlist(plist_t node, int depth = 0)
{
    if (!node || depth > 64) // a hostile file must not recurse without end
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i)
            list.append(fromPlist(plist_array_get_item(node, i), depth + 1));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        char *key = nullptr;
        plist_t item = nullptr;
        for (plist_dict_next_item(node, it, &key, &item); item; plist_dict_next_item(node, it, &key, &item)) {
            map.insert(QString::fromUtf8(key), fromPlist(item, depth + 1));
            free(key);
            key = nullptr;
        }
        free(it);
        return map;
    }
    case PLIST_STRING: {
        // By pointer and length: libplist's copying getter aborts the program on a string holding a NUL.
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QString::fromUtf8(text, qsizetype(length));
    }
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return bool(b);
    }
    case PLIST_UINT: {
        uint64_t n = 0;
        plist_get_uint_val(node, &n);
        return qint64(n);
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return d;
    }
    default:
        return {};
    }
}

} // namespace

namespace PropertyList {

bool write(const QString &path, const QVariant &root)
{
    plist_t plist = toPlist(root);
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(plist, &xml, &length);
    plist_free(plist);
    if (!xml)
        return false;
    const QByteArray data(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return Storage::writeAtomically(path, data);
}

std::optional<QVariant> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return fromData(file.readAll());
}

std::optional<QVariant> fromData(const QByteArray &data)
{
    if (data.isEmpty() || data.size() > 64 * 1024 * 1024)
        return std::nullopt;
    plist_t plist = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &plist);
    if (!plist)
        return std::nullopt;
    if (data.startsWith("bplist")) {
        // A binary document's dictionary key may hold a NUL, and libplist aborts the program when such a key
        // is read. Written out as XML and read back, the key ends at the NUL instead.
        char *xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(plist, &xml, &length);
        plist_free(plist);
        plist = nullptr;
        if (xml)
            plist_from_xml(xml, length, &plist);
        free(xml);
        if (!plist)
            return std::nullopt;
    }
    QVariant value = fromPlist(plist);
    plist_free(plist);
    if (!value.isValid())
        return std::nullopt;
    return value;
}

bool writeRequest(const QString &path, const QString &text)
{
    return write(path, QVariantList{text});
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
