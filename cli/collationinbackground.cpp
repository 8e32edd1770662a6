#include "collationinbackground.h"

CollationInBackground::CollationInBackground(const QByteArray &locale)
    : m_thread([this, locale] {
          try {
              m_collation.emplace(locale);
          } catch (...) {
              m_failure = std::current_exception();
          }
      })
{
}

const Collation &CollationInBackground::get()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_failure)
        std::rethrow_exception(m_failure);
    return *m_collation;
}
