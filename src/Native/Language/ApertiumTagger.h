#pragma once

// The tagger on Linux: Apertium's English analyser and tagger, the same running stages that the
// installed English pair translates with. Over other stages it tags the language of their analyser
// the same way.
// Apertium's own tags are mapped to the tag names of the Tagger interface here; contractions that
// Apertium reads as one unit ("don't", "we'll") come back as two words, as English taggers split them.

#include "Native/Apertium/StageChain.h"
#include "Native/Language/Tagger.h"

#include <chrono>
#include <mutex>
#include <optional>

#include <sys/types.h>

namespace Lumivox::Native {

class ApertiumTagger final : public Tagger
{
public:
    /// `stages` are run one after the other, as a StageChain runs them (see Apertium::stagesOf);
    /// without them, defaultStages(). Nothing starts or is read before the first use, so a tagger is
    /// cheap to make on any thread.
    explicit ApertiumTagger(std::optional<QStringList> stages = std::nullopt,
                            std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

    std::vector<TaggedWord> words(QStringView text, TextRange range, TaggerOptions options = {}) override;

    /// The analysis stages of the installed English pair, up to its tagger.
    static QStringList defaultStages();

    /// Reads one reply of the pipeline for `text`, the text that was sent (before escaping); ranges
    /// index `text`. Units that cannot be found in `text` are left out.
    static std::vector<TaggedWord> readReply(QStringView reply, QStringView text, TaggerOptions options = {});

    /// The tag name of an Apertium reading's tags ("Noun" for <n><sg>); "OtherWord" for none.
    static QString lexicalClass(const QStringList &tags);

    /// The process groups of the stages, 0 for one not running (tests end them to check the restart).
    std::vector<pid_t> processGroups();

private:
    const Apertium::StageChain &stages();

    std::optional<QStringList> m_stageList;
    std::chrono::milliseconds m_timeout;
    std::once_flag m_made;
    std::optional<Apertium::StageChain> m_stages;
};

} // namespace Lumivox::Native
