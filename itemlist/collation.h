#pragma once

#include <QStringView>

struct UCollator;

// The alphabetical order of items: CLDR root collation with numeric ordering of digit runs
// ("item2" before "item10"). Letters compare first without case and accents, then by
// accents, then by case. The order never depends on the user's locale or environment.
//
// Items are ordered through ICU sort keys: byte strings that compare with strcmp exactly as
// the collation compares the texts, so a list of millions sorts and merges without
// collating the same text over and over.
class Collation
{
public:
    Collation();
    // Each copy owns its own ICU collator, so copies can be used on different threads.
    Collation(const Collation &other);
    Collation &operator=(const Collation &) = delete;
    ~Collation();

    // Writes the sort key of text, its terminating zero byte included, into buffer when it
    // fits in capacity bytes, and returns the key's full length either way.
    qsizetype sortKey(QStringView text, quint8 *buffer, qsizetype capacity) const;

private:
    UCollator *m_collator;
};
