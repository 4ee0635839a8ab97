#include "Shared/Storage/WriteTrouble.h"

namespace Lumivox {

namespace {

// The system's number says what went wrong; its text follows the locale. Reasons of our own have
// no number and are told apart by their text.
bool sameCause(const PrivateFile::Outcome &a, const PrivateFile::Outcome &b)
{
    if (a.code != 0 || b.code != 0)
        return a.code == b.code;
    return a.error == b.error;
}

} // namespace

WriteTrouble::Change WriteTrouble::record(const PrivateFile::Outcome &outcome)
{
    std::lock_guard lock(m_mutex);
    if (outcome.ok()) {
        const bool wasFailing = m_failure.has_value();
        m_failure.reset();
        return wasFailing ? Change::cleared : Change::none;
    }
    const bool known = m_failure && sameCause(*m_failure, outcome);
    m_failure = outcome;
    return known ? Change::none : Change::failed;
}

std::optional<PrivateFile::Outcome> WriteTrouble::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

} // namespace Lumivox
