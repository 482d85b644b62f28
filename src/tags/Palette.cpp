#include "tags/Palette.h"

#include "res/CommandIds.h"

#include <algorithm>

namespace tags {
namespace {

// The sixteen named colours of HTML 4. The identifiers do not follow the
// order of the buttons: black, the first button, has the highest.
const PaletteColor kPalette[] = {
    {ID_COLOR_BLACK, "#000000", qRgb(0x00, 0x00, 0x00)},
    {ID_COLOR_WHITE, "#FFFFFF", qRgb(0xFF, 0xFF, 0xFF)},
    {ID_COLOR_GRAY, "#808080", qRgb(0x80, 0x80, 0x80)},
    {ID_COLOR_SILVER, "#C0C0C0", qRgb(0xC0, 0xC0, 0xC0)},
    {ID_COLOR_MAROON, "#800000", qRgb(0x80, 0x00, 0x00)},
    {ID_COLOR_RED, "#FF0000", qRgb(0xFF, 0x00, 0x00)},
    {ID_COLOR_GREEN, "#008000", qRgb(0x00, 0x80, 0x00)},
    {ID_COLOR_LIME, "#00FF00", qRgb(0x00, 0xFF, 0x00)},
    {ID_COLOR_NAVY, "#000080", qRgb(0x00, 0x00, 0x80)},
    {ID_COLOR_BLUE, "#0000FF", qRgb(0x00, 0x00, 0xFF)},
    {ID_COLOR_OLIVE, "#808000", qRgb(0x80, 0x80, 0x00)},
    {ID_COLOR_YELLOW, "#FFFF00", qRgb(0xFF, 0xFF, 0x00)},
    {ID_COLOR_TEAL, "#008080", qRgb(0x00, 0x80, 0x80)},
    {ID_COLOR_AQUA, "#00FFFF", qRgb(0x00, 0xFF, 0xFF)},
    {ID_COLOR_PURPLE, "#800080", qRgb(0x80, 0x00, 0x80)},
    {ID_COLOR_FUCHSIA, "#FF00FF", qRgb(0xFF, 0x00, 0xFF)},
};

} // namespace

std::span<const PaletteColor> PaletteColors() {
    return kPalette;
}

QString FixedColorCode(int id) {
    const auto it = std::find_if(std::begin(kPalette), std::end(kPalette),
                                 [id](const PaletteColor& c) { return c.id == id; });
    return it == std::end(kPalette) ? QString() : QString::fromLatin1(it->code);
}

} // namespace tags
