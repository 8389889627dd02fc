#pragma once

// Pieces that the JSON value and the JSON reader share; not part of the decoding library's interface.

#include "decoding/JsonValue.h"

#include <QHash>

#include <cstddef>

namespace Json {

// Objects up to this size find keys by a linear scan; bigger ones keep a hash index, so that building a large
// object stays linear.
constexpr std::size_t kIndexThreshold = 16;

struct Value::Members
{
    std::vector<std::pair<QString, Value>> list;
    QHash<QString, std::size_t> index; // only once the list outgrows kIndexThreshold

    std::size_t position(const QString &key) const
    {
        if (!index.isEmpty()) {
            const auto it = index.constFind(key);
            return it == index.cend() ? list.size() : *it;
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].first == key)
                return i;
        }
        return list.size();
    }

    void insert(QString &&key, Value &&v)
    {
        const std::size_t at = position(key);
        if (at < list.size()) {
            list[at].second = std::move(v);
            return;
        }
        list.emplace_back(std::move(key), std::move(v));
        if (!index.isEmpty()) {
            index.insert(list.back().first, at);
        } else if (list.size() > kIndexThreshold) {
            index.reserve(qsizetype(list.capacity()));
            for (std::size_t i = 0; i < list.size(); ++i)
                index.insert(list[i].first, i);
        }
    }
};

namespace Internals {

// Reads a JSON number text (or a decimal text with exponent); overflow gives infinity and underflow zero, as
// strtod does.
double parseDouble(const char *begin, const char *end);

} // namespace Internals

} // namespace Json
