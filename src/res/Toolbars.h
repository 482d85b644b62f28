#pragma once

// res: the system's texts, command identifiers, menus, toolbars, accelerators,
// dialog forms and images, as data. Includes nothing above res.

#include <QIcon>
#include <QList>
#include <QRgb>
#include <QSize>
#include <QString>

#include <span>

// The toolbars of the main window as data: their buttons and pictures.
namespace res {

// A toolbar resource: the commands of its buttons from the left (0 marks a
// separator) and the strip that holds one picture per button, in order.
struct ToolBarResource {
    int id;
    const char* imageStrip; // resource path of the 1x strip
    QSize imageSize;        // one picture, in pixels of the 1x strip
    std::span<const int> buttons;
    bool groundIsFace; // the light grey ground shows the bar's own face
};

// The light grey of the 16-colour palette, the ground of the main toolbar's
// pictures.
constexpr QRgb kFaceGrey = 0xFFC0C0C0;

constexpr int ID_SEPARATOR = 0;

// Main toolbar 128: file, edit and tag commands.
const ToolBarResource& MainToolBar();
// Colour palette toolbar 162: sixteen colours and the colour chooser.
const ToolBarResource& PaletteToolBar();

// The number of buttons, separators not counted.
int ButtonCount(const ToolBarResource& resource);

// Cuts the strip at `path` into `count` pictures of `size`. Where a strip
// named "<name>@2x.<ext>" of twice the size lies beside it, each icon also
// carries its picture from there for high-density screens. Empty when the
// strip is missing or is not exactly `count` pictures wide and one high.
// With `clearGround`, every pixel of the colour kFaceGrey turns transparent.
QList<QIcon> LoadImageStrip(const QString& path, QSize size, int count, bool clearGround = false);

// The icons of the resource's buttons, one per button (not per separator).
QList<QIcon> LoadToolBarImages(const ToolBarResource& resource);

} // namespace res
