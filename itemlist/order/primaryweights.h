#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct UCollator;

// The primary collation weights of text: the bytes of an ICU sort key before its first level
// separator, which order texts by their letters, ignoring accents and case.
//
// ICU needs a few hundred nanoseconds for any key, however short, so a list of millions
// would spend most of its sorting time there. Most list items, though, are made of
// characters whose primary weight depends on their neighbours at most through a
// contraction of letters that the language orders as one (Danish "aa", Czech "ch"): no
// combining mark, one primary weight each. For those, their contractions and runs of ASCII
// digits under numeric ordering, the weights are looked up in a table read out of the
// collator once, and joined with ICU's own compression of repeated lead bytes. Text with
// any other character goes to ICU. The tests compare both ways on random text.
class PrimaryWeights
{
public:
    // The table of collator, opened for locale, which orders digit runs numerically. Every
    // Collation sets the same attributes, so the locale's name, keywords and all (a script
    // order, a collation type), tells tables apart. Thread-safe; each is read out of ICU at
    // the first call for its locale, which costs milliseconds.
    static std::shared_ptr<const PrimaryWeights> of(const UCollator *collator,
                                                    const QByteArray &locale);

    // Writes up to capacity bytes of the primary weights of utf8 to out and returns how many
    // it wrote; capacity when there are more. Returns -1 when the text needs ICU.
    [[nodiscard]] qsizetype write(QByteArrayView utf8, quint8 *out, qsizetype capacity) const;

private:
    explicit PrimaryWeights(const UCollator *collator);

    struct Weight {
        quint32 primary; // big-endian bytes, zero-padded; 0 for an ignorable character
        quint8 length;   // bytes in primary
        bool compressible;
        bool known;                     // false: the character needs ICU
        bool startsContraction = false; // the characters after it may join it
    };
    // Characters that join the one before them into one weight, longest first for each.
    struct Contraction {
        std::array<char16_t, 3> tail;
        qsizetype tailLength;
        Weight weight;
    };
    static constexpr qsizetype longestTail = 3;
    // The weight of the number that the run of ASCII digits at next spells, which next then
    // passes; not known when the number needs ICU. Inline: write() calls it for each run.
    inline Weight numberWeight(const quint8 *&next, const quint8 *end) const;
    // The weight of the longest contraction of head with the characters at next, which
    // next then passes; head's own weight when there is none.
    inline Weight contractionWeight(char32_t head, const quint8 *&next, const quint8 *end) const;
    // Reads the collator's contractions; weightOf gives a text's weight, not known when it
    // is more than one.
    void readContractions(const UCollator *collator,
                          const std::function<Weight(const std::u16string &)> &weightOf);

    // Characters that take one or two bytes in UTF-8.
    static constexpr char32_t tableSize = 0x800;

    std::array<Weight, tableSize> m_weights{};
    // Where each character's contractions begin and end in m_contractions.
    std::array<std::pair<quint16, quint16>, tableSize> m_contractionRange{};
    std::vector<Contraction> m_contractions;
    // For each ASCII character: its weight when that is one byte that never takes part in
    // compression, 0 when it is ignorable, and generalCase otherwise.
    static constexpr quint8 generalCase = 0xFF;
    std::array<quint8, 0x80> m_asciiByte{};
    quint32 m_numericLead = 0;
};
