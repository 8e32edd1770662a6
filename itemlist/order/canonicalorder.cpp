#include "order/canonicalorder.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

quint16 fcdClasses(char32_t c)
{
    if (c < 0xC0)
        return 0;
    return quint16((u_getIntPropertyValue(UChar32(c), UCHAR_LEAD_CANONICAL_COMBINING_CLASS) << 8) |
                   u_getIntPropertyValue(UChar32(c), UCHAR_TRAIL_CANONICAL_COMBINING_CLASS));
}

namespace
{
// U+0F73, U+0F75 and U+0F81, which ICU always decomposes.
bool isTibetanCompositeVowel(quint16 classes)
{
    return classes == 0x8182 || classes == 0x8184;
}

// Appends the canonical decomposition of [begin, end) to out, its marks in canonical order.
void appendDecomposed(const char32_t *begin, const char32_t *end, std::vector<char32_t> &out)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *decomposition = unorm2_getNFDInstance(&status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("cannot decompose text: ") + u_errorName(status));
    std::vector<std::pair<quint8, char32_t>> parts; // each with its combining class
    parts.reserve(size_t(end - begin));
    for (const char32_t *c = begin; c != end; ++c) {
        UChar units[32];
        const int32_t length =
            *c >= 0xC0 && (*c < 0xD800 || *c > 0xDFFF)
                ? unorm2_getDecomposition(decomposition, UChar32(*c), units, 32, &status)
                : -1;
        if (length < 0 || U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            parts.emplace_back(quint8(u_getCombiningClass(UChar32(*c))), *c);
            continue;
        }
        for (int32_t index = 0; index < length;) {
            UChar32 part;
            U16_NEXT(units, index, length, part);
            parts.emplace_back(quint8(u_getCombiningClass(part)), char32_t(part));
        }
    }
    // Canonical order: a stable sort of each run of marks by class.
    const auto byClass = [](const auto &a, const auto &b) { return a.first < b.first; };
    for (auto run = parts.begin(); run != parts.end();) {
        const auto runEnd =
            std::find_if(run, parts.end(), [](const auto &part) { return part.first == 0; });
        if (!std::is_sorted(run, runEnd, byClass))
            std::stable_sort(run, runEnd, byClass);
        run = runEnd == parts.end() ? runEnd : runEnd + 1;
    }
    for (const auto &part : parts)
        out.push_back(part.second);
}

} // namespace

std::vector<char32_t> normalizedAsIcu(const std::vector<char32_t> &characters)
{
    std::vector<char32_t> text;
    text.reserve(characters.size());
    const size_t size = characters.size();
    const auto leadOf = [&](size_t index) { return quint8(fcdClasses(characters[index]) >> 8); };
    for (size_t start = 0; start < size;) {
        const quint16 classes = fcdClasses(characters[start]);
        if (quint8(classes) == 0 ||
            (!isTibetanCompositeVowel(classes) && (start + 1 == size || leadOf(start + 1) == 0))) {
            text.push_back(characters[start++]);
            continue;
        }
        // ICU's check of a segment, as it makes it.
        size_t end = start;
        bool inOrder = true;
        for (quint8 before = 0;;) {
            const quint16 own = fcdClasses(characters[end]);
            const auto lead = quint8(own >> 8);
            if (lead == 0 && end != start)
                break;
            ++end;
            if (lead != 0 && (before > lead || isTibetanCompositeVowel(own))) {
                inOrder = false;
                while (end < size && leadOf(end) != 0)
                    ++end;
                break;
            }
            before = quint8(own);
            if (end == size || before == 0)
                break;
        }
        if (inOrder)
            text.insert(text.end(), characters.begin() + ptrdiff_t(start),
                        characters.begin() + ptrdiff_t(end));
        else
            appendDecomposed(characters.data() + start, characters.data() + end, text);
        start = end;
    }
    return text;
}
