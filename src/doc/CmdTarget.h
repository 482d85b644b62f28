#pragma once

// doc: the document, the editing pane, its load, routing, the
// seams to the user. May include pane, io and res.

#include <functional>
#include <map>

// A receiver of commands: a map from command identifiers to handlers, each
// with an optional test that tells whether the command is available now.
class CCmdTarget {
public:
    virtual ~CCmdTarget();

    // Whether this target has a handler for `id`.
    bool HasCommand(int id) const;

    // Whether the handler may run now; false without a handler.
    bool IsCommandEnabled(int id) const;

    // Runs the handler for `id`; false when this target has none.
    bool OnCmdMsg(int id);

protected:
    using Handler = std::function<void()>;
    using RangeHandler = std::function<void(int)>;
    using Enabler = std::function<bool()>;

    void OnCommand(int id, Handler handler, Enabler enabled = {});
    void OnCommandRange(int first, int last, RangeHandler handler,
                        std::function<bool(int)> enabled = {});

private:
    struct Entry {
        RangeHandler handler;
        std::function<bool(int)> enabled;
    };
    std::map<int, Entry> m_commands;
};
