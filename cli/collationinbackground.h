#pragma once

#include "order/collation.h"

#include <QByteArray>

#include <exception>
#include <optional>
#include <thread>

// The collation's tables take a few milliseconds to build: they are built on a thread of
// their own while the first bytes are read. A failure there is rethrown where the collation
// is first needed, for main() to report.
class CollationInBackground
{
public:
    explicit CollationInBackground(const QByteArray &locale);
    // The collation, once built.
    const Collation &get();

private:
    std::optional<Collation> m_collation;
    std::exception_ptr m_failure;
    std::jthread m_thread;
};
