#include "pane/HtmlTheme.h"

#include <array>
#include <cmath>

namespace pane {
namespace {

// Each at least 4.5:1 against white.
constexpr std::array<QRgb, std::size_t(HtmlClass::Count)> kColours{
    0x000000, // text
    0x0b4f9c, // tag
    0x8a3b00, // attribute name
    0x00701f, // attribute value
    0x6b6b6b, // comment
    0x9b1c8c, // character reference
    0x5b3fa0, // doctype
    0x7a5c00, // CDATA
    0xb00020, // script keyword
    0x00665e, // script string
    0x4f6b3a, // script comment
    0x006680, // style string
    0x7a5068, // style comment
};

double Channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& colour) {
    return 0.2126 * Channel(colour.red()) + 0.7152 * Channel(colour.green()) +
           0.0722 * Channel(colour.blue());
}

} // namespace

QColor ThemeColour(HtmlClass cls) {
    const auto i = std::size_t(cls);
    return QColor::fromRgb(i < kColours.size() ? kColours[i] : kColours[0]);
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace pane
