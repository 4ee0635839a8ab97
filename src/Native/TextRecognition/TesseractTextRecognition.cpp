// Text recognition with Tesseract: one engine (English, LSTM), created and used on its own thread
// only, since an engine is not safe to share and loading its model takes a good part of a second.
// Screen text is small, so the image is turned grey, light-on-dark text is inverted to dark on
// light, and the image is scaled up twice before recognition; words the engine is unsure of
// (mostly junk from glyphs cut by the strip's edge) are dropped.

#include "Native/TextRecognition/TextRecognition.h"

#include <QLoggingCategory>

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <dlfcn.h>

#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <thread>

namespace Lumivox::Native {

namespace {

Q_LOGGING_CATEGORY(lcTextRecognition, "app.lumivox.TextRecognition")

constexpr int upscale = 2;
constexpr float minimumConfidence = 60.0f;
// The resolution the upscaled screen text roughly corresponds to; it spares the engine guessing.
constexpr int sourceResolution = 140;

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

QImage prepared(const QImage &image, const QRect &region)
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
    return grey.scaled(grey.width() * upscale, grey.height() * upscale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_Grayscale8);
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

    RecognitionReply recognize(const QImage &image, const QRectF &regionOfInterest) override
    {
        if (image.isNull() || image.width() < 1 || image.height() < 1)
            return failed("the image is empty");
        const QRect region = pixelRegion(image, regionOfInterest);
        if (region.isEmpty())
            return failed("the region of interest is empty");
        QImage input = prepared(image, region);
        if (input.isNull())
            return failed("the image could not be converted");

        std::packaged_task<RecognitionReply()> job([this, &input] { return run(input); });
        auto reply = job.get_future();
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return failed("the recognition engine has stopped");
            m_jobs.push_back([&job] { job(); });
        }
        m_wake.notify_one();
        return reply.get();
    }

private:
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
        if (m_api)
            m_api->End();
        m_api.reset();
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
        // A strip holds a few lines of one block of text.
        api->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
        // Dark text on light is all the engine ever sees (inverted above); trying each doubtful
        // line inverted again would only double the time spent on junk at the strip's edges.
        api->SetVariable("tessedit_do_invert", "0");
        m_api = std::move(api);
        // Registered after the library built its cache, so it runs before that cache goes.
        static std::once_flag registered;
        std::call_once(registered, [] { std::atexit(stopLiveEngines); });
        return true;
    }

    void setImage(const QImage &input)
    {
        m_api->SetImage(input.constBits(), input.width(), input.height(), 1, static_cast<int>(input.bytesPerLine()));
        m_api->SetSourceResolution(sourceResolution);
    }

    /// Blanks the lines that the top or bottom edge cuts through. Only the lower or upper part of
    /// their glyphs is there, so they read as junk, and each costs several times a whole line: the
    /// engine scales every line to one height, and a sliver becomes very wide. A line that reaches
    /// the middle row, where the pointer is, is always kept. True when anything was blanked.
    bool blankCutLines(QImage &input)
    {
        std::unique_ptr<tesseract::PageIterator> layout(m_api->AnalyseLayout());
        if (!layout)
            return false;
        const int middle = input.height() / 2;
        bool blanked = false;
        layout->Begin();
        do {
            int left = 0;
            int top = 0;
            int right = 0;
            int bottom = 0;
            if (!layout->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
                continue;
            const bool cut = top <= 0 || bottom >= input.height();
            if (!cut || (top <= middle && bottom >= middle))
                continue;
            const QRect line = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & input.rect();
            for (int y = line.top(); y <= line.bottom(); ++y)
                std::memset(input.scanLine(y) + line.left(), 0xff, static_cast<std::size_t>(line.width()));
            blanked = true;
        } while (layout->Next(tesseract::RIL_TEXTLINE));
        return blanked;
    }

    RecognitionReply run(QImage &input)
    {
        if (!ensureEngine())
            return failed("the recognition model is not available");
        setImage(input);
        if (blankCutLines(input))
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
                if (word.isEmpty() || it->Confidence(tesseract::RIL_WORD) < minimumConfidence)
                    continue;
                if (!it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                    continue;
                if (!line.text.isEmpty())
                    line.text += QLatin1Char(' ');
                line.words.push_back({line.text.size(), word.size(), normalised(left, top, right, bottom)});
                line.text += word;
            } while (!it->IsAtFinalElement(tesseract::RIL_TEXTLINE, tesseract::RIL_WORD)
                     && it->Next(tesseract::RIL_WORD));
            if (!line.words.empty())
                lines.push_back(std::move(line));
        } while (it->Next(tesseract::RIL_TEXTLINE));
        return lines;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
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
