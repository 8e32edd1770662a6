#include "listfile/encoding/codepagedetector.h"

#include <QByteArray>

#include <uchardet.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

// Both detectors name charsets, often the ISO sibling of a Windows code page; each name stands
// here for the Windows code page whose bytes it reads alike. Names that a Windows list file is
// never in (DOS, Mac, EUC-JP, 7-bit) are left out: the detectors gave them for other lists.
// The thresholds below were measured on word lists of 35 languages with ICU 72 and
// uchardet 0.0.7; each count is twice the largest at which that path misread a Western list.

namespace
{
struct Charset {
    const char *name;
    int codePage;
};

constexpr std::array icuCharsets{
    Charset{"ISO-8859-1", 1252},   Charset{"windows-1252", 1252}, Charset{"ISO-8859-2", 1250},
    Charset{"windows-1250", 1250}, Charset{"ISO-8859-5", 1251},   Charset{"windows-1251", 1251},
    Charset{"ISO-8859-7", 1253},   Charset{"windows-1253", 1253}, Charset{"ISO-8859-9", 1254},
    Charset{"windows-1254", 1254}, Charset{"ISO-8859-8", 1255},   Charset{"ISO-8859-8-I", 1255},
    Charset{"windows-1255", 1255}, Charset{"ISO-8859-6", 1256},   Charset{"windows-1256", 1256},
    Charset{"Shift_JIS", 932},     Charset{"GB18030", 936},       Charset{"EUC-KR", 949},
    Charset{"Big5", 950},
};

constexpr std::array uchardetCharsets{
    Charset{"ISO-8859-1", 1252},   Charset{"ISO-8859-15", 1252},  Charset{"WINDOWS-1252", 1252},
    Charset{"ISO-8859-2", 1250},   Charset{"WINDOWS-1250", 1250}, Charset{"ISO-8859-16", 1250},
    Charset{"ISO-8859-5", 1251},   Charset{"WINDOWS-1251", 1251}, Charset{"KOI8-R", 1251},
    Charset{"ISO-8859-7", 1253},   Charset{"WINDOWS-1253", 1253}, Charset{"ISO-8859-9", 1254},
    Charset{"ISO-8859-8", 1255},   Charset{"WINDOWS-1255", 1255}, Charset{"ISO-8859-6", 1256},
    Charset{"WINDOWS-1256", 1256}, Charset{"ISO-8859-13", 1257},  Charset{"WINDOWS-1257", 1257},
    Charset{"WINDOWS-1258", 1258}, Charset{"TIS-620", 874},       Charset{"ISO-8859-11", 874},
    Charset{"SHIFT_JIS", 932},     Charset{"GB18030", 936},       Charset{"EUC-KR", 949},
    Charset{"UHC", 949},           Charset{"BIG5", 950},
};

constexpr int notSure = 0;

template <std::size_t size>
int codePageOf(const std::array<Charset, size> &charsets, const char *name)
{
    const auto found = std::ranges::find_if(
        charsets, [name](const Charset &charset) { return std::strcmp(charset.name, name) == 0; });
    return found == charsets.end() ? notSure : found->codePage;
}

bool isMultiByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

struct IcuAnswer {
    int codePage = notSure;
    int confidence = 0;
};

IcuAnswer askIcu(QByteArrayView text)
{
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCharsetDetector, decltype(&ucsdet_close)> detector(ucsdet_open(&status),
                                                                              ucsdet_close);
    ucsdet_setText(detector.get(), text.data(), int32_t(text.size()), &status);
    const UCharsetMatch *match = ucsdet_detect(detector.get(), &status);
    if (U_FAILURE(status) || !match)
        return {};
    const IcuAnswer answer{codePageOf(icuCharsets, ucsdet_getName(match, &status)),
                           ucsdet_getConfidence(match, &status)};
    return U_SUCCESS(status) ? answer : IcuAnswer{};
}

// uchardet's name for the charset; empty when it has none.
std::string askUchardet(QByteArrayView text)
{
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, decltype(&uchardet_delete)> detector(
        uchardet_new(), uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), text.data(), size_t(text.size())) != 0)
        return {};
    uchardet_data_end(detector.get());
    return uchardet_get_charset(detector.get());
}

// How many bytes above ASCII must back uchardet's single-byte code page when ICU does not
// name the same one; 0 when uchardet alone is never enough for it.
int bytesForUchardetAlone(int codePage, int icuCodePage)
{
    switch (codePage) {
    case 1250: // uchardet reads many Western lists as Central European
        return icuCodePage == 1252 ? 0 : 32;
    case 1257:
        return icuCodePage == 1252 ? 144 : icuCodePage == 1254 ? 40 : 24;
    case 1251:
    case 1253:
    case 1255:
    case 1256:
    case 1258:
    case 874:
        return 24;
    default: // 1252 and 1254
        return 0;
    }
}

int detectedWindowsCodePage(QByteArrayView text)
{
    const auto bytesAboveAscii = std::ranges::count_if(text, [](char byte) { return byte & 0x80; });
    const IcuAnswer icu = askIcu(text);
    const std::string uchardetName = askUchardet(text);
    const int uchardet = codePageOf(uchardetCharsets, uchardetName.c_str());
    const bool uchardetHasNoAnswer =
        uchardetName.empty() || uchardetName == "ASCII" || uchardetName == "UTF-8";

    // ICU's Shift_JIS has proved right where uchardet misreads Japanese as a single-byte page.
    if (icu.codePage == 932 && icu.confidence >= 30 && !(isMultiByte(uchardet) && uchardet != 932))
        return 932;
    // ICU's other double-byte answers also come for Thai or Polish lists, unless uchardet agrees.
    if (isMultiByte(icu.codePage) && icu.confidence >= 30 &&
        (uchardet == icu.codePage || uchardetHasNoAnswer))
        return icu.codePage;
    if (isMultiByte(uchardet) && !isMultiByte(icu.codePage))
        return bytesAboveAscii >= 16 ? uchardet : notSure;
    if (icu.codePage != notSure && icu.codePage == uchardet) {
        if (isMultiByte(icu.codePage))
            return icu.codePage;
        if (icu.codePage == 1252)
            return icu.confidence >= 20 ? 1252 : notSure;
        return bytesAboveAscii >= (icu.codePage == 1250 ? 40 : 6) ? icu.codePage : notSure;
    }
    if (uchardet != notSure && !isMultiByte(icu.codePage)) {
        const int needed = bytesForUchardetAlone(uchardet, icu.codePage);
        if (needed > 0 && bytesAboveAscii >= needed)
            return uchardet;
    }
    return notSure;
}

bool isItemEnd(char byte)
{
    return byte == '\n' || byte == '\r' || byte == ',';
}

// Where the first item end at or after from lies in text; -1 when there is none.
qsizetype itemEndAfter(QByteArrayView text, qsizetype from)
{
    const auto found = std::find_if(text.begin() + from, text.end(), isItemEnd);
    return found == text.end() ? -1 : found - text.begin();
}

// Where the last item end before to lies in text, at from or after; -1 when there is none.
qsizetype itemEndBefore(QByteArrayView text, qsizetype from, qsizetype to)
{
    for (qsizetype index = to - 1; index >= from; --index) {
        if (isItemEnd(text[index]))
            return index;
    }
    return -1;
}

// Where the first byte above ASCII at or after from lies in text; its size when none does.
qsizetype beyondAsciiAfter(QByteArrayView text, qsizetype from)
{
    // Eight bytes at a time, since most of a file may be ASCII.
    constexpr quint64 highBits = 0x8080808080808080;
    qsizetype index = from;
    for (; index + 8 <= text.size(); index += 8) {
        quint64 word;
        std::memcpy(&word, text.data() + index, sizeof word);
        if (word & highBits)
            break;
    }
    while (index < text.size() && !(text[index] & 0x80))
        ++index;
    return index;
}
} // namespace

void DetectionSample::startPart(int partsLeft, bool insideItem)
{
    m_openItem.clear();
    m_partEnd = m_text.size() + (codePageDetectionBytes - m_text.size()) / partsLeft;
    m_skipping = insideItem;
}

bool DetectionSample::add(QByteArrayView bytes)
{
    if (m_skipping) {
        const qsizetype end = itemEndAfter(bytes, 0);
        if (end < 0)
            return true;
        m_skipping = false;
        bytes = bytes.sliced(end + 1);
    }
    // The item the last bytes ended inside goes on up to the first item end.
    const qsizetype firstEnd = itemEndAfter(bytes, 0);
    if (firstEnd < 0)
        return addToOpenItem(bytes);
    addToOpenItem(bytes.first(firstEnd));
    endOpenItem();
    qsizetype from = firstEnd + 1;
    while (!isFull()) {
        const qsizetype beyond = beyondAsciiAfter(bytes, from);
        const qsizetype end = beyond < bytes.size() ? itemEndAfter(bytes, beyond) : -1;
        if (end < 0)
            break;
        const qsizetype start = std::max(itemEndBefore(bytes, from, beyond) + 1, from);
        addItem(bytes.sliced(start, end - start));
        from = end + 1;
    }
    return addToOpenItem(
        bytes.sliced(std::max(itemEndBefore(bytes, from, bytes.size()) + 1, from)));
}

QByteArray DetectionSample::take()
{
    endOpenItem();
    // The detectors' answers depend a little on the order of the text: in the order of the
    // bytes, a list reads the same however its items are ordered.
    if (m_text.isEmpty())
        return {};
    QList<QByteArray> items = m_text.split('\n');
    items.removeLast(); // after the last line end
    std::ranges::sort(items);
    m_text = items.join('\n');
    m_text.append('\n');
    return std::exchange(m_text, {});
}

void DetectionSample::addItem(QByteArrayView item)
{
    if (beyondAsciiAfter(item, 0) == item.size())
        return;
    m_text.append(item.first(std::min(item.size(), m_partEnd - m_text.size())));
    m_text.append('\n');
}

bool DetectionSample::addToOpenItem(QByteArrayView bytes)
{
    while (!isFull() && !bytes.isEmpty()) {
        const qsizetype length = std::min(bytes.size(), codePageDetectionBytes - m_openItem.size());
        m_openItem.append(bytes.first(length));
        bytes = bytes.sliced(length);
        if (m_openItem.size() == codePageDetectionBytes)
            endOpenItem();
    }
    return !isFull();
}

void DetectionSample::endOpenItem()
{
    if (!isFull())
        addItem(m_openItem);
    m_openItem.clear();
}

std::optional<TextEncoding> detectedCodePage(QByteArrayView sample)
{
    const int codePage =
        detectedWindowsCodePage(sample.first(std::min(sample.size(), codePageDetectionBytes)));
    if (codePage == notSure)
        return std::nullopt;
    return TextEncoding::codePageNamed(QByteArray("windows-") + QByteArray::number(codePage));
}
