#include "station/sample_window.h"

#include <algorithm>

void SampleWindow::store(int slot, double value)
{
    if (slot < 1 || slot > kMaxWindow)
        throw CycleFailure("averaging slot out of range");
    m_slots[slot] = value;
}

double SampleWindow::mean(int count) const
{
    if (count < 1 || count > kMaxWindow)
        throw CycleFailure("averaging window out of range");
    double sum = 0;
    for (int k = 1; k <= count; ++k)
        sum += m_slots[k];
    return sum / count;
}

QString limitWindowSize(int32_t &size, const QString &settingName)
{
    if (size >= 1 && size <= kMaxWindow)
        return QString();
    const int32_t was = size;
    size = std::clamp<int32_t>(size, 1, kMaxWindow);
    return QStringLiteral("%1 = %2 is outside 1 to %3 readings; using %4.")
        .arg(settingName)
        .arg(was)
        .arg(kMaxWindow)
        .arg(size);
}
