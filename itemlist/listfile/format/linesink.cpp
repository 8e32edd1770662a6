#include "listfile/format/linesink.h"

void LineSink::grow(size_t bytes)
{
    constexpr size_t step = 64 << 10;
    if (m_text.capacity() < m_used + bytes + step)
        m_text.reserve(std::max(2 * m_text.capacity(), m_used + bytes + step));
    m_text.resize(m_used + bytes + step);
}
