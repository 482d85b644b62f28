#pragma once

// res: the system's texts, command identifiers, menus, toolbars, accelerators,
// dialog forms and images, as data. Includes nothing above res.

#include <QKeyCombination>
#include <QString>

#include <span>

// Menus and accelerator tables of the main window.
namespace res {

// One menu item; id 0 is a separator. The text holds the label, and after a
// tab the shortcut text shown at the right.
struct MenuItem {
    int id;
    const char16_t* text;
};

struct Menu {
    const char16_t* title;
    std::span<const MenuItem> items;
};

// Main menu 128.
std::span<const Menu> MainMenu();

// One accelerator. Keys are matched on the key pressed, not on the character
// it types.
struct Accelerator {
    QKeyCombination key;
    int id;
};

// Accelerator table 128, in table order.
std::span<const Accelerator> MainAccelerators();

// The label of an item, without its shortcut text.
QString MenuLabel(const MenuItem& item);

} // namespace res
