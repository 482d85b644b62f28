#pragma once

// res: the system's texts, command identifiers, menus, toolbars, accelerators,
// dialog forms and images, as data. Includes nothing above res.

#include <QString>

#include <span>

// The commands of the program with the string that holds their prompt.
struct CommandInfo {
    int id;
    int promptString; // string table entry with "status text\ntooltip"; 0: none
};

std::span<const CommandInfo> AllCommands();

// Whether `id` is one of the commands above.
bool IsKnownCommand(int id);

// Status-bar text shown while the pointer rests on the command's item.
QString CommandPrompt(int id);

// Tooltip of the command's toolbar button; empty when it has none.
QString CommandTooltip(int id);
