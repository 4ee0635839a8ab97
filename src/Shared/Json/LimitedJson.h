#pragma once

// The one way a stored file becomes a JSON tree: nesting deeper than maxJsonNesting is refused while
// parsing, before anything is built (20 MB of "[" would otherwise cost gigabytes), a key given twice
// in one object is refused as JsonScanner refuses it, and a syntax error gives its byte position
// only (the library's own message quotes the text, which may hold the user's words). Never throws.

#include "Shared/Json/JsonScanner.h"

#include <QByteArrayView>
#include <QString>

#include <nlohmann/json.hpp>

#include <optional>

namespace Lumivox {

/// The tree, or none with `error` (when given) set to why: jsonSyntaxError, jsonNestingError or
/// jsonRepeatedKeyError.
/// Defined for nlohmann::json and nlohmann::ordered_json.
template<class JsonTree>
std::optional<JsonTree> parseJsonLimited(QByteArrayView utf8, QString *error = nullptr);

} // namespace Lumivox
