#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include <QStringView>

#include <optional>
#include <utility>

namespace pane {

// How far around the caret the partner of a tag is looked for, each way.
constexpr qsizetype kTagMatchReach = 1 << 20;

struct TagNames {
    qsizetype at = 0, atLength = 0;           // the name of the tag the caret is in
    qsizetype partner = 0, partnerLength = 0; // the name of its partner
};

// The name (start, length) of the tag whose name `caret` is in or at the
// end of; nothing when it is in none.
std::optional<std::pair<qsizetype, qsizetype>> FindTagName(QStringView text, qsizetype caret);

// When `caret` (an offset in `text`) is in or at the end of a tag's name:
// that name and the name of the tag's partner, the end tag of a start tag
// or the start tag of an end tag, nesting of the same name counted,
// comments and the text of script and style skipped. Nothing for a void
// element, a tag without partner in `text`, or a caret elsewhere. Case does
// not matter. Reads only `text`.
std::optional<TagNames> FindMatchingTag(QStringView text, qsizetype caret);

} // namespace pane
