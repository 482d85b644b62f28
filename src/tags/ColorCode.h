#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include <QColor>
#include <QString>

#include <optional>

class QWidget;

// The colour chooser behind the colour code command and the 参照 buttons.
// Tests put their own in place.
class CColorChooser {
public:
    virtual ~CColorChooser();
    // Runs the chooser modally over `owner`, starting on `initial`; nothing
    // when the user cancels or the chooser cannot be shown.
    virtual std::optional<QColor> Choose(QWidget* owner, const QColor& initial) = 0;

    static CColorChooser& Get();
    // Installs `chooser` (not owned; null restores the desktop's) and
    // returns the previous one.
    static CColorChooser* Set(CColorChooser* chooser);
};

// Qt's colour dialog with the custom colour slots shared by the whole run.
class CDialogColorChooser : public CColorChooser {
public:
    std::optional<QColor> Choose(QWidget* owner, const QColor& initial) override;
};

// "#RRGGBB": red, green and blue as two upper-case hexadecimal digits each.
QString FormatColorCode(const QColor& color);

// Runs the chooser over the active window, starting on black; returns the
// code of the confirmed colour, or an empty text when it was cancelled.
QString PickColorCode();

// Sets the sixteen custom colour slots to white, as at the start of a run.
void ResetCustomColors();
