#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct UCollator;

// A form of a text that ICU collates exactly as it collates the text, in time linear in its
// length.
//
// ICU's collation reads a run of combining marks again from each mark that may start a
// contraction with a later one (Tibetan U+0F71 with U+0F72, U+0F74, U+0F80), and puts a run
// that is out of canonical order in order by insertion: its time grows with the square of
// the run. Text with a long run is given to ICU in this form instead: decomposed and in
// canonical order, as ICU would put it, and cut into the units that ICU's contraction
// matching makes of it (a character with the later marks it takes, one of them or none),
// each after the one before, with an ignorable character between them where a unit starts
// with a mark, so that no contraction is looked for past it. The collation elements, and
// so the order, are those of the text; in the one case where ICU's own differ from those of
// the text's canonical decomposition, a contraction looked for across marks out of canonical
// order among which is a supplementary one (a defect of ICU's, fixed in later versions),
// they are the decomposition's.
class LinearForm
{
public:
    // The form of collator, opened for locale. Thread-safe, read out of ICU at the first
    // call for each locale, as PrimaryWeights is.
    static std::shared_ptr<const LinearForm> of(const UCollator *collator,
                                                const QByteArray &locale);

    // Whether ICU would take time beyond linear for wtf8: it holds a long run of characters
    // that start with a combining mark.
    [[nodiscard]] static bool needed(QByteArrayView wtf8);
    // The form of WTF-8 text, in UTF-16. It is the text itself when the collator has no
    // ignorable character to cut with, or in the rare case that a unit's collation
    // elements depend on the characters before it and cutting would change them.
    [[nodiscard]] QString write(QByteArrayView wtf8) const;

    // Runs longer than this take the linear way; ICU's time on shorter ones is bounded.
    static constexpr qsizetype longestRun = 32;

private:
    explicit LinearForm(const UCollator *collator);

    // A node of the trie of contractions: a text that contractions start with.
    struct Node {
        bool complete = false;   // a contraction ends here
        bool continues = false;  // longer contractions start with it
        bool takesMarks = false; // at a first character: a contraction of it ends in a mark
    };
    [[nodiscard]] qint32 child(qint32 node, char32_t c) const;
    void addContraction(const std::u32string &text);
    // Whether a part of the text may start at c: nothing before it joins it in a
    // contraction or changes its weights, and it starts with no mark.
    [[nodiscard]] bool startsPart(char32_t c) const;
    // Appends the form of wtf8, a part of a text with a long run of marks, to form.
    void writePart(QByteArrayView wtf8, QString &form) const;

    // Units of the decomposed text and their output.
    class Units;

    char16_t m_separator = 0;
    bool m_usable = false;
    std::vector<Node> m_nodes{Node{}};
    std::unordered_map<quint64, qint32> m_children;
    // The characters after the first of contractions and prefix mappings.
    std::unordered_set<char32_t> m_continuing;
    // For each character whose collation elements depend on those before it, the texts
    // before it that change them.
    std::unordered_map<char32_t, std::vector<std::u32string>> m_contexts;
};
