// The In/Out buttons' state as a poller reads it: a fresh press reads 0 once,
// then the held direction; a click between two reads is reported once.
#pragma once

#include <cstdint>

class ButtonStateTracker {
public:
    void press(int16_t direction) // 1 In, 2 Out
    {
        m_fresh = true;
        m_down = direction;
        m_latched = direction;
    }
    void release()
    {
        m_down = 0;
        m_fresh = false;
    }
    int16_t read()
    {
        if (m_fresh) {
            m_fresh = false;
            return 0;
        }
        const int16_t r = m_latched;
        if (m_down == 0)
            m_latched = 0;
        return r;
    }
    void clear() { *this = ButtonStateTracker{}; }

private:
    int16_t m_down = 0;
    int16_t m_latched = 0;
    bool m_fresh = false;
};
