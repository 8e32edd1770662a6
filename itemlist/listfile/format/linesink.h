#pragma once

#include <QByteArrayView>

#include <algorithm>
#include <cstring>
#include <string>

// Lines of a list file in UTF-8, made in text over what it held. The text grows in steps
// and is cut to the lines when the sink goes, so that a line is one copy, with no call to
// grow it.
class LineSink
{
public:
    explicit LineSink(std::string &text) : m_text(text) {}
    LineSink(const LineSink &) = delete;
    LineSink &operator=(const LineSink &) = delete;
    ~LineSink() { m_text.resize(m_used); }

    [[nodiscard]] size_t size() const { return m_used; }

    // Appends item as a line, quoted or not.
    void appendLine(QByteArrayView item, bool quote)
    {
        const auto length = size_t(item.size());
        if (!quote) { // most lines, most often: copied as they are
            char *out = room(length + 2);
            std::memcpy(out, item.data(), length);
            out[length] = '\r';
            out[length + 1] = '\n';
            m_used += length + 2;
            return;
        }
        char *out = room(2 * length + 4);
        const char *const start = out;
        *out++ = '"';
        for (const char c : item) {
            *out++ = c;
            if (c == '"')
                *out++ = '"';
        }
        out = std::copy_n("\"\r\n", 3, out);
        m_used += size_t(out - start);
    }

private:
    // The text's room grows as a string's does, untouched; its size, which is written, only
    // a step at a time, so that the memory used stays that of the lines.
    char *room(size_t bytes)
    {
        if (m_text.size() - m_used < bytes)
            grow(bytes);
        return m_text.data() + m_used;
    }
    void grow(size_t bytes);

    std::string &m_text;
    size_t m_used = 0;
};
