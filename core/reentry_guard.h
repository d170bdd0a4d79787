// Holds a routine's "running" flag for the life of a scope. The waits inside
// such routines deliver events, so the routine can be asked for again before
// it has returned: the nested guard finds the flag already set, leaves it to
// the outer one and says so, and the caller turns back.
#pragma once

class ReentryGuard {
public:
    explicit ReentryGuard(bool &flag) noexcept : m_flag(flag), m_holds(!flag) { m_flag = true; }
    ~ReentryGuard() { release(); }
    ReentryGuard(const ReentryGuard &) = delete;
    ReentryGuard &operator=(const ReentryGuard &) = delete;

    // True for the outer entry, the one that set the flag; false for a nested one.
    bool active() const noexcept { return m_holds; }

    // Clears the flag before the scope ends, for work that must see the routine finished.
    void release() noexcept
    {
        if (m_holds)
            m_flag = false;
        m_holds = false;
    }

private:
    bool &m_flag;
    bool m_holds;
};
