// A failed write is told once per cause: again when the cause changes (a full disk, then a folder
// made read-only) or after a write has worked in between, never at each try that fails the same way.

#include "Shared/Storage/WriteTrouble.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace Lumivox;

TEST(WriteTrouble, TellsAFailureOncePerCauseUntilAWriteWorks)
{
    using Change = WriteTrouble::Change;
    const auto system = [](int code, const char *words) {
        return PrivateFile::Outcome {QString::fromUtf8(words), code};
    };
    const auto ours = [](const char *why) { return PrivateFile::Outcome::failed(QString::fromUtf8(why)); };
    const std::vector<std::pair<PrivateFile::Outcome, Change>> writes {
        {PrivateFile::Outcome::done(), Change::none},
        {system(ENOSPC, "No space left on device"), Change::failed},
        {system(ENOSPC, "Kein Platz auf dem Gerät"), Change::none}, // the same number in another locale
        {system(EACCES, "Permission denied"), Change::failed},
        {PrivateFile::Outcome::done(), Change::cleared},
        {PrivateFile::Outcome::done(), Change::none},
        {system(EACCES, "Permission denied"), Change::failed},
        {ours("another copy of Lumivox kept its folder locked"), Change::failed},
        {ours("another copy of Lumivox kept its folder locked"), Change::none},
        {ours("a symbolic link is in its place and could not be set aside"), Change::failed},
        {system(ENOSPC, "No space left on device"), Change::failed},
    };
    WriteTrouble trouble;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE("write " + std::to_string(i));
        const auto &[outcome, change] = writes[i];
        EXPECT_EQ(trouble.record(outcome), change);
        EXPECT_EQ(trouble.failure().has_value(), !outcome.ok());
        EXPECT_EQ(trouble.failure() ? trouble.failure()->error : QString(), outcome.error);
    }
}
