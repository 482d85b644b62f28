#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include <QRgb>
#include <QString>

#include <span>

// The sixteen fixed colours of the palette toolbar, in button order.
namespace tags {

struct PaletteColor {
    int id;           // the command of the button
    const char* code; // what it inserts, "#RRGGBB"
    QRgb rgb;         // the colour of its swatch
};

std::span<const PaletteColor> PaletteColors();

// The code that fixed colour command `id` inserts; empty for other commands.
QString FixedColorCode(int id);

} // namespace tags
