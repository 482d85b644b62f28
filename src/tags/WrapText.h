#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include <QString>

#include <span>

// The texts of the commands that put fixed HTML around or in place of the
// selection. Pure functions: no widget involved.
namespace tags {

// A command that wraps the selection: opening text + selection + closing text.
struct WrapTags {
    int id;
    const char16_t* opening;
    const char16_t* closing;
};

// The seven wrapping commands (B, I, U, CENTER, TR, TD, TH).
std::span<const WrapTags> WrapCommands();

// The tags of wrapping command `id`; null when `id` wraps nothing.
const WrapTags* FindWrapTags(int id);

// `selection` wrapped in the tags of command `id`, taken verbatim.
QString WrapText(const WrapTags& tags, const QString& selection);
QString WrapText(int id, const QString& selection);

// What the line-break command puts in place of the selection.
QString LineBreakText();

} // namespace tags
