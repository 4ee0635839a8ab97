// Text recognition with Tesseract: two engines (LSTM) on one thread of their own, since an engine is
// not safe to share and loading a model takes a good part of a second. The English model with its
// word lists reads strips fastest; the Latin-script model, without its word lists (which saves most
// of its start-up and memory), knows the accented letters of the languages written in Latin script
// and reads single words again: the English model has only "é", and reads "naïve" as "naive" and
// "crème" as "créme", sure of itself. Without the Latin-script model the English one reads again.
// Screen text is small, so the image is turned grey, light-on-dark text is inverted to dark on
// light, and the image is scaled up twice before recognition. Measured on 6 x 13 bitmap cells and
// 15 to 18 px text: three times read no more words and took a quarter to a third longer; of the page
// layouts, a single block was fastest of those that read the pointer's word (as a single line the
// engine read only part of the line; sparse text and a single column were slower).
// Words the engine is unsure of (mostly junk from glyphs cut by the strip's edge) are left out of
// the text.

#include "Native/TextRecognition/TextRecognition.h"

#include <QLoggingCategory>

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <dlfcn.h>

#include <fstream>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace Lumivox::Native {

namespace {

Q_LOGGING_CATEGORY(lcTextRecognition, "app.lumivox.TextRecognition")

constexpr int upscale = 2;
// A word read a second time by the same model is read from an image scaled up this much.
constexpr int largerUpscale = 3;
constexpr float minimumConfidence = 60.0f;
constexpr tesseract::PageSegMode linePageSegMode = tesseract::PSM_SINGLE_BLOCK;
// A line within this many pixels of the focus row (6 points above or below, upscaled) may hold the
// word under the pointer.
constexpr int focusReach = 6 * upscale;
// Around a word read again, so that its first and last glyphs are whole.
constexpr int wordMargin = 3;
// Around a line blanked, beyond the box the layout gives it (pixels of the prepared image).
constexpr int lineMargin = 2 * upscale;
// The resolution of screen text scaled up once; it spares the engine guessing.
constexpr int resolutionPerScale = 70;

// Reads a model file as the engine would, less its LSTM word list (entry 19 of the file's table).
// The engine keeps every part of the file in memory for as long as it runs, used or not, and the
// Latin-script model's word list, which the engine reading words again never loads, is 85 MB of its
// 89; it is not even read. A file laid out other than expected is read whole.
bool readWithoutWordList(const char *filename, std::vector<char> *data)
{
    std::ifstream in(filename, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::int64_t size = in.tellg();
    if (size < 0)
        return false;
    const auto readRange = [&](std::int64_t from, std::int64_t to) {
        const std::size_t at = data->size();
        data->resize(at + std::size_t(to - from));
        in.seekg(from);
        return bool(in.read(data->data() + at, to - from));
    };
    const auto readWhole = [&] {
        data->clear();
        in.clear();
        return readRange(0, size);
    };
    constexpr std::uint32_t wordList = 19;
    std::uint32_t entries = 0;
    in.seekg(0);
    if (!in.read(reinterpret_cast<char *>(&entries), sizeof entries))
        return readWhole();
    // More entries than the engine knows would mean the other byte order, or not a model at all.
    const auto header = std::int64_t(sizeof entries + std::size_t(entries) * sizeof(std::int64_t));
    if (entries <= wordList || entries > 64 || size < header)
        return readWhole();
    std::vector<std::int64_t> offsets(entries);
    if (!in.read(reinterpret_cast<char *>(offsets.data()), std::streamsize(entries * sizeof(std::int64_t))))
        return readWhole();
    // The parts lie one after the other in the order of the table: a part runs to the next one present.
    const std::int64_t start = offsets[wordList];
    std::int64_t end = size;
    for (std::uint32_t next = wordList + 1; next < entries; ++next) {
        if (offsets[next] >= 0) {
            end = offsets[next];
            break;
        }
    }
    if (start < header || end < start || end > size)
        return readWhole();
    for (std::uint32_t i = 0; i < entries; ++i) {
        if (i != wordList && offsets[i] > start && offsets[i] < end)
            return readWhole();
    }
    offsets[wordList] = -1;
    for (std::int64_t &offset : offsets) {
        if (offset >= end)
            offset -= end - start;
    }
    data->clear();
    data->reserve(std::size_t(size - (end - start)));
    if (!readRange(0, start) || !readRange(end, size))
        return false;
    std::memcpy(data->data() + sizeof entries, offsets.data(), entries * sizeof(std::int64_t));
    return true;
}

RecognitionFailure failed(const char *message)
{
    return RecognitionFailure {QString::fromLatin1(message)};
}

/// The region in image pixels (the region's origin is at the bottom left, the image's at the top left).
QRect pixelRegion(const QImage &image, const QRectF &region)
{
    const QRectF unit = region & QRectF(0, 0, 1, 1);
    if (unit.isEmpty())
        return {};
    const double w = image.width();
    const double h = image.height();
    const int left = static_cast<int>(std::floor(unit.left() * w));
    const int right = static_cast<int>(std::ceil(unit.right() * w));
    const int top = static_cast<int>(std::floor((1.0 - unit.bottom()) * h));
    const int bottom = static_cast<int>(std::ceil((1.0 - unit.top()) * h));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & image.rect();
}

QImage prepared(const QImage &image, const QRect &region, int scale)
{
    QImage grey = image.copy(region).convertToFormat(QImage::Format_Grayscale8);
    if (grey.isNull())
        return grey;
    // The background covers most of a strip, so a dark mean means light text on a dark ground.
    quint64 sum = 0;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            sum += row[x];
    }
    const quint64 pixels = static_cast<quint64>(grey.width()) * static_cast<quint64>(grey.height());
    if (pixels > 0 && sum / pixels < 128)
        grey.invertPixels();
    return grey.scaled(grey.width() * scale, grey.height() * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_Grayscale8);
}

// The grey most of the image is: its ground.
int medianGrey(const QImage &grey)
{
    std::array<quint64, 256> counts {};
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            ++counts[row[x]];
    }
    const quint64 half = quint64(grey.width()) * quint64(grey.height()) / 2;
    quint64 seen = 0;
    for (int g = 0; g < 256; ++g) {
        seen += counts[std::size_t(g)];
        if (seen > half)
            return g;
    }
    return 255;
}

class TesseractTextRecognition;

// The engine's model data sits in a cache of the library that is torn down at exit; engines still
// alive then are stopped first, or the library complains about leaked models.
std::mutex liveEnginesMutex;
std::set<TesseractTextRecognition *> liveEngines;
void stopLiveEngines();

class TesseractTextRecognition final : public TextRecognition
{
public:
    TesseractTextRecognition()
        : m_thread([this] { loop(); })
    {
        std::lock_guard lock(liveEnginesMutex);
        liveEngines.insert(this);
    }

    ~TesseractTextRecognition() override
    {
        {
            std::lock_guard lock(liveEnginesMutex);
            liveEngines.erase(this);
        }
        stop();
    }

    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        std::call_once(m_joined, [this] { m_thread.join(); });
    }

    RecognitionReply recognize(const QImage &image, const QRectF &regionOfInterest,
                               std::optional<double> focusLine) override
    {
        if (image.isNull() || image.width() < 1 || image.height() < 1)
            return failed("the image is empty");
        const QRect region = pixelRegion(image, regionOfInterest);
        if (region.isEmpty())
            return failed("the region of interest is empty");
        QImage input = prepared(image, region, upscale);
        if (input.isNull())
            return failed("the image could not be converted");
        // The focus height, from the region's bottom, as a row of the prepared image.
        std::optional<int> focusRow;
        if (focusLine)
            focusRow = static_cast<int>(std::lround((1.0 - std::clamp(*focusLine, 0.0, 1.0)) * input.height()));
        return onEngineThread<RecognitionReply>([this, &input, focusRow] { return run(input, focusRow); },
                                                failed("the recognition engine has stopped"));
    }

    std::optional<WordReading> readWord(const QImage &image, const QRectF &box, WordReader reader) override
    {
        if (image.isNull())
            return std::nullopt;
        const QRect region =
            pixelRegion(image, box).adjusted(-wordMargin, -wordMargin, wordMargin, wordMargin) & image.rect();
        if (region.isEmpty())
            return std::nullopt;
        const int scale = reader == WordReader::accentedLarger ? largerUpscale : upscale;
        QImage input = prepared(image, region, scale);
        if (input.isNull())
            return std::nullopt;
        return onEngineThread<std::optional<WordReading>>(
            [this, &input, reader, scale] { return readOne(input, reader == WordReader::lines, scale); }, std::nullopt);
    }

private:
    template<class T>
    T onEngineThread(std::function<T()> work, T stopped)
    {
        std::packaged_task<T()> job(std::move(work));
        auto reply = job.get_future();
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return stopped;
            m_jobs.push_back([&job] { job(); });
        }
        m_wake.notify_one();
        return reply.get();
    }

    void loop()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                if (m_jobs.empty())
                    break;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
        for (auto *api : {&m_api, &m_wordApi}) {
            if (*api)
                (*api)->End();
            api->reset();
        }
    }

    // Engine thread only.
    bool ensureEngine()
    {
        if (m_api)
            return true;
        if (m_loadFailed)
            return false;
        // The engine parallelises with OpenMP, whose idle threads spin; on a busy desktop that made
        // recognition several times slower at the tail, so this thread keeps the work to itself.
        // Its loops ask for their own thread counts, so only making nested parallelism start at
        // level zero keeps them on this thread.
        using SetLevels = void (*)(int);
        if (auto setLevels = reinterpret_cast<SetLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels")))
            setLevels(0);
        auto api = std::make_unique<tesseract::TessBaseAPI>();
        if (api->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0) {
            // Not retried: the model files do not appear while the program runs.
            qCWarning(lcTextRecognition) << "the English recognition model could not be loaded";
            m_loadFailed = true;
            return false;
        }
        auto wordApi = std::make_unique<tesseract::TessBaseAPI>();
        const std::vector<std::string> names {"load_system_dawg", "load_freq_dawg"};
        const std::vector<std::string> values {"0", "0"};
        if (wordApi->Init(nullptr, 0, "Latin", tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false,
                          readWithoutWordList)
            != 0) {
            // A fresh engine: the one above keeps its file reader, and the English model's word list is used.
            wordApi = std::make_unique<tesseract::TessBaseAPI>();
            if (wordApi->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0)
                wordApi.reset();
        }
        if (!wordApi) {
            qCWarning(lcTextRecognition) << "no model could be loaded to read words again";
            m_loadFailed = true;
            return false;
        }
        wordApi->SetPageSegMode(tesseract::PSM_SINGLE_WORD);
        wordApi->SetVariable("tessedit_do_invert", "0");
        m_wordApi = std::move(wordApi);
        // A strip holds a few lines of one block of text.
        api->SetPageSegMode(linePageSegMode);
        // Dark text on light is all the engine ever sees (inverted above); trying each doubtful
        // line inverted again would only double the time spent on junk at the strip's edges.
        api->SetVariable("tessedit_do_invert", "0");
        m_api = std::move(api);
        // Registered after the library built its cache, so it runs before that cache goes.
        static std::once_flag registered;
        std::call_once(registered, [] { std::atexit(stopLiveEngines); });
        return true;
    }

    static void setImage(tesseract::TessBaseAPI &api, const QImage &input, int scale)
    {
        api.SetImage(input.constBits(), input.width(), input.height(), 1, static_cast<int>(input.bytesPerLine()));
        api.SetSourceResolution(resolutionPerScale * scale);
    }
    void setImage(const QImage &input) { setImage(*m_api, input, upscale); }

    /// Blanks the lines that the top or bottom edge cuts through. Only the lower or upper part of
    /// their glyphs is there, so they read as junk, and each costs several times a whole line: the
    /// engine scales every line to one height, and a sliver becomes very wide. A line that reaches
    /// the middle row, where the pointer is, is always kept. With a focus row, every line that does
    /// not come near it is blanked: a terminal's strip holds six rows of eighty characters, and
    /// reading them all took four times as long. True when anything was blanked.
    bool blankOtherLines(QImage &input, std::optional<int> focusRow)
    {
        std::unique_ptr<tesseract::PageIterator> layout(m_api->AnalyseLayout());
        if (!layout)
            return false;
        const int middle = input.height() / 2;
        std::vector<QRect> kept;
        std::vector<QRect> others;
        layout->Begin();
        do {
            int left = 0;
            int top = 0;
            int right = 0;
            int bottom = 0;
            if (!layout->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
                continue;
            bool keep = false;
            if (focusRow) {
                keep = top - focusReach <= *focusRow && bottom + focusReach >= *focusRow;
            } else {
                const bool cut = top <= 0 || bottom >= input.height();
                keep = !cut || (top <= middle && bottom >= middle);
            }
            const QRect line = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & input.rect();
            (keep ? kept : others).push_back(line);
        } while (layout->Next(tesseract::RIL_TEXTLINE));
        if (others.empty())
            return false;
        // Blanked with the ground, whatever its grey (a dark ground inverted is a light grey, not
        // white): a blank of another tone is a shape of its own to the engine, and with such blanks
        // beside it the engine read nothing of the pointer's line at all.
        const int ground = medianGrey(input);
        for (const QRect &line : others) {
            // The layout's box leaves the tips of tall letters and the tails of low ones out: those
            // go too, but never into a kept line.
            QRect blank = line.adjusted(-lineMargin, -lineMargin, lineMargin, lineMargin) & input.rect();
            for (const QRect &k : kept) {
                if (!blank.intersects(k))
                    continue;
                if (line.center().y() < k.top())
                    blank.setBottom(std::min(blank.bottom(), k.top() - 1));
                else if (line.center().y() > k.bottom())
                    blank.setTop(std::max(blank.top(), k.bottom() + 1));
                else
                    blank = line;
            }
            for (int y = blank.top(); y <= blank.bottom(); ++y)
                std::memset(input.scanLine(y) + blank.left(), ground, static_cast<std::size_t>(blank.width()));
        }
        return true;
    }

    // Engine thread only.
    // By the accented model, or by the lines' model (as a single word for once).
    std::optional<WordReading> readOne(const QImage &input, bool byLineModel, int scale)
    {
        if (!ensureEngine())
            return std::nullopt;
        tesseract::TessBaseAPI &api = byLineModel ? *m_api : *m_wordApi;
        if (byLineModel)
            api.SetPageSegMode(tesseract::PSM_SINGLE_WORD);
        setImage(api, input, scale);
        const bool read = api.Recognize(nullptr) == 0;
        std::unique_ptr<char[]> utf8(read ? api.GetUTF8Text() : nullptr);
        const float confidence = read ? float(api.MeanTextConf()) : 0.0f;
        if (byLineModel)
            api.SetPageSegMode(linePageSegMode);
        const QString word = utf8 ? QString::fromUtf8(utf8.get()).trimmed() : QString();
        if (word.isEmpty())
            return std::nullopt;
        return WordReading {word, confidence};
    }

    RecognitionReply run(QImage &input, std::optional<int> focusRow)
    {
        if (!ensureEngine())
            return failed("the recognition model is not available");
        setImage(input);
        if (blankOtherLines(input, focusRow))
            setImage(input);
        if (m_api->Recognize(nullptr) != 0)
            return failed("recognition failed");

        std::vector<RecognizedLine> lines;
        std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
        if (!it)
            return lines;
        const double w = input.width();
        const double h = input.height();
        auto normalised = [&](int left, int top, int right, int bottom) {
            return QRectF(left / w, 1.0 - bottom / h, (right - left) / w, (bottom - top) / h);
        };
        it->Begin();
        do {
            if (it->Empty(tesseract::RIL_TEXTLINE))
                continue;
            RecognizedLine line;
            int left = 0;
            int top = 0;
            int right = 0;
            int bottom = 0;
            if (it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
                line.box = normalised(left, top, right, bottom);
            do {
                std::unique_ptr<char[]> utf8(it->GetUTF8Text(tesseract::RIL_WORD));
                const QString word = utf8 ? QString::fromUtf8(utf8.get()).trimmed() : QString();
                if (word.isEmpty() || !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                    continue;
                if (it->Confidence(tesseract::RIL_WORD) < minimumConfidence) {
                    line.unsure.push_back(normalised(left, top, right, bottom));
                    continue;
                }
                if (!line.text.isEmpty())
                    line.text += QLatin1Char(' ');
                line.words.push_back({line.text.size(), word.size(), normalised(left, top, right, bottom)});
                line.text += word;
            } while (!it->IsAtFinalElement(tesseract::RIL_TEXTLINE, tesseract::RIL_WORD)
                     && it->Next(tesseract::RIL_WORD));
            if (!line.words.empty() || !line.unsure.empty())
                lines.push_back(std::move(line));
        } while (it->Next(tesseract::RIL_TEXTLINE));
        return lines;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    std::unique_ptr<tesseract::TessBaseAPI> m_wordApi;
    bool m_loadFailed = false;
    std::once_flag m_joined;
    std::thread m_thread; // last: it starts running in the constructor
};

void stopLiveEngines()
{
    std::lock_guard lock(liveEnginesMutex);
    for (TesseractTextRecognition *engine : liveEngines)
        engine->stop();
}

} // namespace

std::shared_ptr<TextRecognition> TextRecognition::makeDefault()
{
    return std::make_shared<TesseractTextRecognition>();
}

} // namespace Lumivox::Native
