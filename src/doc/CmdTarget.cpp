#include "doc/CmdTarget.h"

CCmdTarget::~CCmdTarget() = default;

bool CCmdTarget::HasCommand(int id) const { return m_commands.count(id) != 0; }

bool CCmdTarget::IsCommandEnabled(int id) const {
    const auto it = m_commands.find(id);
    if (it == m_commands.end())
        return false;
    return !it->second.enabled || it->second.enabled(id);
}

bool CCmdTarget::OnCmdMsg(int id) {
    const auto it = m_commands.find(id);
    if (it == m_commands.end())
        return false;
    // A copy: the handler may rebind commands while it runs.
    const RangeHandler handler = it->second.handler;
    handler(id);
    return true;
}

void CCmdTarget::OnCommand(int id, Handler handler, Enabler enabled) {
    Entry e;
    e.handler = [h = std::move(handler)](int) { h(); };
    if (enabled)
        e.enabled = [f = std::move(enabled)](int) { return f(); };
    m_commands[id] = std::move(e);
}

void CCmdTarget::OnCommandRange(int first, int last, RangeHandler handler,
                                std::function<bool(int)> enabled) {
    for (int id = first; id <= last; ++id)
        m_commands[id] = Entry{handler, enabled};
}
