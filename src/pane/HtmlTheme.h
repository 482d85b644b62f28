#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include "pane/HtmlLexer.h"

#include <QColor>

namespace pane {

// The pane's background the colours are made for.
inline QColor ThemeBackground() { return QColor(0xff, 0xff, 0xff); }

// The text colour of each class on the light background: colour only, no
// bold or italic, so that no character changes its width.
QColor ThemeColour(HtmlClass cls);

// The contrast ratio of two colours (1 to 21), by their relative luminance.
double ContrastRatio(const QColor& a, const QColor& b);

} // namespace pane
