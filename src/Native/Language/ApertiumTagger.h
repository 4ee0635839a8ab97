#pragma once

// The tagger on Linux: Apertium's English analyser and tagger as one persistent null-flush pipeline.
// Over another script it tags the language of that script's analyser the same way.
// Apertium's own tags are mapped to the tag names of the Tagger interface here; contractions that
// Apertium reads as one unit ("don't", "we'll") come back as two words, as English taggers split them.

#include "Native/Apertium/NullFlushPipeline.h"
#include "Native/Language/Tagger.h"

#include <chrono>

#include <sys/types.h>

namespace Lumivox::Native {

class ApertiumTagger final : public Tagger
{
public:
    explicit ApertiumTagger(QString script = defaultScript(),
                            std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

    std::vector<TaggedWord> words(QStringView text, TextRange range, TaggerOptions options = {}) override;

    /// lt-proc | apertium-tagger over the installed English data, both in null-flush mode.
    static QString defaultScript();

    /// Reads one reply of the pipeline for `text`, the text that was sent (before escaping); ranges
    /// index `text`. Units that cannot be found in `text` are left out.
    static std::vector<TaggedWord> readReply(QStringView reply, QStringView text, TaggerOptions options = {});

    /// The tag name of an Apertium reading's tags ("Noun" for <n><sg>); "OtherWord" for none.
    static QString lexicalClass(const QStringList &tags);

    /// The running pipeline's process group, or 0 (tests end it to check the restart).
    pid_t processGroup();

private:
    Apertium::NullFlushPipeline m_pipeline;
};

} // namespace Lumivox::Native
