#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>

// Windows-1252 as ICU has it: every byte maps to a character, the five that Windows-1252
// leaves unassigned to the C1 controls of the same value, so every byte reads and writes back.
class Windows1252
{
public:
    static const Windows1252 &instance();

    [[nodiscard]] QByteArrayView utf8Of(quint8 byte) const { return m_utf8[byte]; }
    // The byte for a character, or -1.
    [[nodiscard]] int byteOf(char32_t c) const { return c < m_bytes.size() ? m_bytes[c] : -1; }

private:
    Windows1252();

    std::array<QByteArray, 256> m_utf8;
    std::array<qint16, 0x2200> m_bytes; // U+2122 TRADE MARK SIGN is its highest character
};
