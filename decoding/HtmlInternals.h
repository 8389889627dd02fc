#pragma once

// A piece that the attribute search and the selective parse share; not part of the decoding library's
// interface.

struct _xmlNode;

namespace HtmlInternals {

// Whether the first attribute of `node` named `attribute` has a text piece equal to `wanted` (UTF-8), or
// containing it when `allowPartial` is set.
bool attributeMatches(const _xmlNode *node, const char *attribute, const char *wanted, bool allowPartial);

} // namespace HtmlInternals
