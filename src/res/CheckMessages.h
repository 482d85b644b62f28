#pragma once

// res: the system's texts, command identifiers, menus, toolbars, accelerators,
// dialog forms and images, as data. Includes nothing above res.

#include <QString>

#include <string_view>

namespace res {

// A Japanese message of the HTML check, by the checking library's message
// key; "%1", "%2", ... stand for the message's arguments (element names
// without their angle brackets). A key "KEY:arg" is the message of KEY when
// its first argument is `arg`, and is looked for before KEY itself.
struct CheckMessage {
    const char* key;
    const char16_t* text;
    bool html5Only; // shown only for a page that declares <!DOCTYPE html>
};

// The entry of `key`; null when the check shows no message for it.
const CheckMessage* FindCheckMessage(std::string_view key);

} // namespace res
