#include "Models/LanguageCatalog.h"

#include "Shared/Text/TextUtils.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <mutex>

namespace Lumivox {

bool Language::isAppleSupported() const
{
    return LanguageCatalog::isOnDeviceCode(id);
}

namespace LanguageCatalog {

namespace {

QStringList list(std::initializer_list<const char16_t *> items)
{
    QStringList out;
    out.reserve(qsizetype(items.size()));
    for (const char16_t *item : items)
        out.append(QString::fromUtf16(item));
    return out;
}

Language row(const char16_t *id, const char16_t *name, const char16_t *nativeName, const char16_t *flag,
             const char16_t *sampleScript, std::initializer_list<const char16_t *> fonts,
             std::initializer_list<const char16_t *> words)
{
    return Language {QString::fromUtf16(id),
                     QString::fromUtf16(name),
                     QString::fromUtf16(nativeName),
                     QString::fromUtf16(flag),
                     QString::fromUtf16(sampleScript),
                     list(fonts),
                     list(words)};
}

const std::map<QString, Language> &byId()
{
    static const std::map<QString, Language> map = [] {
        std::map<QString, Language> built;
        for (const Language &language : allLanguages())
            built.insert_or_assign(Text::lowercased(language.id), language);
        return built;
    }();
    return map;
}

// What this computer translates on the device; written at start, read from any thread.
struct OnDeviceState
{
    std::set<OnDevicePair> pairs;
    /// The languages English text reaches, and English when some language reaches it.
    std::set<QString> codes;
    /// Every language some pair starts or ends at.
    std::set<QString> routeLanguages;
};

std::mutex &onDeviceMutex()
{
    static std::mutex mutex;
    return mutex;
}

OnDeviceState &onDevice()
{
    static OnDeviceState state;
    return state;
}

// Settings may hold the bare macro-language code, which means Chinese (Simplified).
void addChineseAlias(std::set<QString> &codes)
{
    if (codes.count(QStringLiteral("zh-cn")) > 0)
        codes.insert(QStringLiteral("zh"));
}

const QStringList &popularIds()
{
    static const QStringList ids {QStringLiteral("ar"), QStringLiteral("zh-CN"), QStringLiteral("en"),
                                  QStringLiteral("fr"), QStringLiteral("de"),    QStringLiteral("hi"),
                                  QStringLiteral("ja"), QStringLiteral("si"),    QStringLiteral("es"),
                                  QStringLiteral("ta")};
    return ids;
}

} // namespace

const std::vector<Language> &allLanguages()
{
    static const std::vector<Language> rows {
        row(u"ar", u"Arabic", u"العربية", u"🇸🇦", u"ع", {u"Geeza Pro", u"Damascus", u"DecoType Naskh"},
            {u"مرحبا", u"شكرا", u"صديق", u"جميل"}),
        row(u"bn", u"Bengali", u"বাংলা", u"🇧🇩", u"অ", {u"Bangla Sangam MN", u"Bangla MN", u"Kohinoor Bangla"},
            {u"নমস্কার", u"ধন্যবাদ", u"বন্ধু", u"সুন্দর"}),
        row(u"bg", u"Bulgarian", u"Български", u"🇧🇬", u"б", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Здравейте", u"Благодаря", u"Приятел"}),
        row(u"my", u"Burmese", u"မြန်မာစာ", u"🇲🇲", u"က", {u"Myanmar Sangam MN", u"Myanmar MN"},
            {u"မင်္ဂလာပါ", u"ကျေးဇူးတင်ပါတယ်"}),
        row(u"zh-CN", u"Chinese (Simplified)", u"简体中文", u"🇨🇳", u"中", {u"PingFang SC", u"Heiti SC"},
            {u"你好", u"谢谢", u"朋友", u"美丽"}),
        row(u"zh-TW", u"Chinese (Traditional)", u"繁體中文", u"🇹🇼", u"中", {u"PingFang TC", u"Heiti TC"},
            {u"你好", u"謝謝", u"朋友", u"美麗"}),
        row(u"hr", u"Croatian", u"Hrvatski", u"🇭🇷", u"č", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Bok", u"Hvala", u"Prijatelj"}),
        row(u"cs", u"Czech", u"Čeština", u"🇨🇿", u"ř", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Ahoj", u"Děkuji", u"Přítel"}),
        row(u"da", u"Danish", u"Dansk", u"🇩🇰", u"ø", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hej", u"Tak", u"Ven"}),
        row(u"nl", u"Dutch", u"Nederlands", u"🇳🇱", u"Aa", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hallo", u"Bedankt", u"Vriend", u"Prachtig"}),
        row(u"en", u"English", u"English", u"🇺🇸", u"Aa", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hello", u"Thank you", u"Friend", u"Wonderful"}),
        row(u"et", u"Estonian", u"Eesti", u"🇪🇪", u"õ", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Tere", u"Aitäh", u"Sõber"}),
        row(u"tl", u"Filipino (Tagalog)", u"Tagalog", u"🇵🇭", u"Aa", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Kumusta", u"Salamat", u"Kaibigan"}),
        row(u"fi", u"Finnish", u"Suomi", u"🇫🇮", u"ä", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hei", u"Kiitos", u"Ystävä"}),
        row(u"fr", u"French", u"Français", u"🇫🇷", u"é", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Bonjour", u"Merci", u"Ami", u"Merveilleux"}),
        row(u"de", u"German", u"Deutsch", u"🇩🇪", u"ä", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hallo", u"Danke", u"Freund", u"Wunderbar"}),
        row(u"el", u"Greek", u"Ελληνικά", u"🇬🇷", u"Ω", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Γεια σας", u"Ευχαριστώ", u"Φίλος"}),
        row(u"gu", u"Gujarati", u"ગુજરાતી", u"🇮🇳", u"અ", {u"Gujarati Sangam MN", u"Gujarati MN", u"Shruti"},
            {u"નમસ્તે", u"આભાર", u"મિત્ર"}),
        row(u"he", u"Hebrew", u"עברית", u"🇮🇱", u"א", {u"Arial Hebrew", u"Raanana"}, {u"שלום", u"תודה", u"חבר"}),
        row(u"hi", u"Hindi", u"हिन्दी", u"🇮🇳", u"अ",
            {u"Devanagari Sangam MN", u"Kohinoor Devanagari", u"ITF Devanagari"},
            {u"नमस्ते", u"धन्यवाद", u"दोस्त", u"सुंदर"}),
        row(u"hu", u"Hungarian", u"Magyar", u"🇭🇺", u"ő", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Helló", u"Köszönöm", u"Barát"}),
        row(u"id", u"Indonesian", u"Bahasa Indonesia", u"🇮🇩", u"Aa", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Halo", u"Terima kasih", u"Teman", u"Indah"}),
        row(u"ga", u"Irish", u"Gaeilge", u"🇮🇪", u"á", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Dia duit", u"Go raibh maith agat", u"Cara"}),
        row(u"it", u"Italian", u"Italiano", u"🇮🇹", u"à", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Ciao", u"Grazie", u"Amico", u"Bellissimo"}),
        row(u"ja", u"Japanese", u"日本語", u"🇯🇵", u"あ", {u"Hiragino Sans", u"Hiragino Kaku Gothic ProN"},
            {u"こんにちは", u"ありがとう", u"友達", u"美しい"}),
        row(u"kn", u"Kannada", u"ಕನ್ನಡ", u"🇮🇳", u"ಅ", {u"Kannada Sangam MN", u"Kannada MN"},
            {u"ನಮಸ್ಕಾರ", u"ಧನ್ಯವಾದ", u"ಸ್ನೇಹಿತ"}),
        row(u"km", u"Khmer", u"ភាសាខ្មែរ", u"🇰🇭", u"ក", {u"Khmer Sangam MN", u"Khmer MN"}, {u"សួស្តី", u"សូមអរគុណ"}),
        row(u"ko", u"Korean", u"한국어", u"🇰🇷", u"한", {u"Apple SD Gothic Neo", u"AppleGothic"},
            {u"안녕하세요", u"감사합니다", u"친구", u"아름다운"}),
        row(u"lv", u"Latvian", u"Latviešu", u"🇱🇻", u"ā", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Sveiki", u"Paldies", u"Draugs"}),
        row(u"lt", u"Lithuanian", u"Lietuvių", u"🇱🇹", u"ą", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Labas", u"Ačiū", u"Draugas"}),
        row(u"ms", u"Malay", u"Bahasa Melayu", u"🇲🇾", u"Aa", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hai", u"Terima kasih", u"Kawan"}),
        row(u"ml", u"Malayalam", u"മലയാളം", u"🇮🇳", u"അ", {u"Malayalam Sangam MN", u"Malayalam MN"},
            {u"നമസ്കാരം", u"നന്ദി", u"സുഹൃത്ത്"}),
        row(u"mr", u"Marathi", u"मराठी", u"🇮🇳", u"अ", {u"Devanagari Sangam MN", u"Kohinoor Devanagari"},
            {u"नमस्कार", u"धन्यवाद", u"मित्र"}),
        row(u"ne", u"Nepali", u"नेपाली", u"🇳🇵", u"अ", {u"Devanagari Sangam MN", u"Kohinoor Devanagari"},
            {u"नमस्ते", u"धन्यवाद", u"साथी"}),
        row(u"no", u"Norwegian", u"Norsk", u"🇳🇴", u"æ", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hei", u"Takk", u"Venn"}),
        row(u"fa", u"Persian (Farsi)", u"فارسی", u"🇮🇷", u"ف", {u"Geeza Pro", u"Damascus"},
            {u"سلام", u"سپاسگزارم", u"دوست"}),
        row(u"pl", u"Polish", u"Polski", u"🇵🇱", u"ą", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Cześć", u"Dziękuję", u"Przyjaciel"}),
        row(u"pt", u"Portuguese", u"Português", u"🇵🇹", u"ç", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Olá", u"Obrigado", u"Amigo", u"Maravilhoso"}),
        row(u"pa", u"Punjabi", u"ਪੰਜਾਬੀ", u"🇮🇳", u"ਅ", {u"Gurmukhi Sangam MN", u"Gurmukhi MN"},
            {u"ਸਤਿ ਸ੍ਰੀ ਅਕਾਲ", u"ਧੰਨਵਾਦ", u"ਦੋਸਤ"}),
        row(u"ro", u"Romanian", u"Română", u"🇷🇴", u"ș", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Bună", u"Mulțumesc", u"Prieten"}),
        row(u"ru", u"Russian", u"Русский", u"🇷🇺", u"Д", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Привет", u"Спасибо", u"Друг", u"Прекрасно"}),
        row(u"sr", u"Serbian", u"Српски", u"🇷🇸", u"ђ", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Здраво", u"Хвала", u"Пријатељ"}),
        row(u"si", u"Sinhala", u"සිංහල", u"🇱🇰", u"අ", {u"Sinhala Sangam MN", u"Sinhala MN"},
            {u"ආයුබෝවන්", u"මිතුරා", u"ස්තූතියි", u"ලස්සනයි"}),
        row(u"sk", u"Slovak", u"Slovenčina", u"🇸🇰", u"š", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Ahoj", u"Ďakujem", u"Priateľ"}),
        row(u"es", u"Spanish", u"Español", u"🇪🇸", u"ñ", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hola", u"Gracias", u"Amigo", u"Maravilloso"}),
        row(u"sw", u"Swahili", u"Kiswahili", u"🇰🇪", u"Aa", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Jambo", u"Asante", u"Rafiki"}),
        row(u"sv", u"Swedish", u"Svenska", u"🇸🇪", u"å", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Hej", u"Tack", u"Vän", u"Underbar"}),
        row(u"ta", u"Tamil", u"தமிழ்", u"🇮🇳", u"அ", {u"Tamil Sangam MN", u"Tamil MN", u"InaiMathi"},
            {u"வணக்கம்", u"நன்றி", u"நண்பா", u"அழகு"}),
        row(u"te", u"Telugu", u"తెలుగు", u"🇮🇳", u"అ", {u"Telugu Sangam MN", u"Telugu MN", u"Kohinoor Telugu"},
            {u"నమస్కారం", u"ధన్యవాదాలు", u"స్నేహితుడు"}),
        row(u"th", u"Thai", u"ไทย", u"🇹🇭", u"ก", {u"Thonburi", u"Sathu", u"Sukhumvit Set"},
            {u"สวัสดี", u"ขอบคุณ", u"เพื่อน", u"สวยงาม"}),
        row(u"tr", u"Turkish", u"Türkçe", u"🇹🇷", u"ç", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Merhaba", u"Teşekkürler", u"Arkadaş", u"Harika"}),
        row(u"uk", u"Ukrainian", u"Українська", u"🇺🇦", u"ї", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Привіт", u"Дякую", u"Друг"}),
        row(u"ur", u"Urdu", u"اردو", u"🇵🇰", u"ا", {u"Noto Nastaliq Urdu", u"Geeza Pro", u"Damascus"},
            {u"سلام", u"شکریہ", u"دوست"}),
        row(u"vi", u"Vietnamese", u"Tiếng Việt", u"🇻🇳", u"ă", {u"SF Pro", u"Helvetica Neue", u"Arial"},
            {u"Xin chào", u"Cảm ơn", u"Bạn bè", u"Tuyệt vời"}),
    };
    return rows;
}

const std::vector<Language> &popularLanguages()
{
    static const std::vector<Language> rows = [] {
        std::vector<Language> found;
        for (const QString &id : popularIds()) {
            if (auto language = LanguageCatalog::language(id))
                found.push_back(*language);
        }
        return found;
    }();
    return rows;
}

const std::vector<Language> &otherLanguages()
{
    static const std::vector<Language> rows = [] {
        std::vector<Language> others;
        for (const Language &language : allLanguages()) {
            if (!popularIds().contains(language.id))
                others.push_back(language);
        }
        return sortedByName(std::move(others));
    }();
    return rows;
}

std::vector<Language> sortedByName(std::vector<Language> languages)
{
    QCollator collator {QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(languages.begin(), languages.end(),
                     [&](const Language &a, const Language &b) { return collator.compare(a.name, b.name) < 0; });
    return languages;
}

std::set<QString> appleSupportedLanguageCodes()
{
    std::lock_guard lock(onDeviceMutex());
    return onDevice().codes;
}

std::set<OnDevicePair> onDevicePairs()
{
    std::lock_guard lock(onDeviceMutex());
    return onDevice().pairs;
}

void setOnDevicePairs(const std::set<OnDevicePair> &pairs)
{
    const QString english = QStringLiteral("en");
    // Settings may hold the bare macro-language code, which means Chinese (Simplified).
    const auto alias = [](const QString &code) { return code == QLatin1String("zh-cn") ? QStringLiteral("zh") : code; };
    OnDeviceState state;
    for (const auto &[from, to] : pairs) {
        const QString source = Text::lowercased(from);
        const QString target = Text::lowercased(to);
        if (source == target)
            continue;
        state.pairs.emplace(source, target);
        state.pairs.emplace(alias(source), alias(target));
        state.pairs.emplace(alias(source), target);
        state.pairs.emplace(source, alias(target));
        state.routeLanguages.insert(source);
        state.routeLanguages.insert(target);
        // English is what users point at and what the program analyses: a language counts as
        // translated on this computer when English text reaches it, and English when anything does.
        if (source == english)
            state.codes.insert(target);
        if (target == english)
            state.codes.insert(english);
    }
    addChineseAlias(state.codes);
    addChineseAlias(state.routeLanguages);
    std::lock_guard lock(onDeviceMutex());
    onDevice() = std::move(state);
}

bool isOnDeviceCode(QStringView code)
{
    const QString key = Text::lowercased(code);
    std::lock_guard lock(onDeviceMutex());
    return onDevice().codes.count(key) > 0;
}

bool isRouteLanguage(QStringView code)
{
    const QString key = Text::lowercased(code);
    std::lock_guard lock(onDeviceMutex());
    return onDevice().routeLanguages.count(key) > 0;
}

std::optional<Language> language(QStringView code)
{
    const QString key = Text::trimmed(Text::lowercased(code));
    const auto &rows = byId();
    if (auto it = rows.find(key); it != rows.end())
        return it->second;
    // Settings written by hand or by older versions may hold the bare macro-language code.
    if (key == QLatin1String("zh")) {
        if (auto it = rows.find(QStringLiteral("zh-cn")); it != rows.end())
            return it->second;
    }
    return std::nullopt;
}

std::optional<QString> appleCode(QStringView detectedCode)
{
    QString code = Text::lowercased(detectedCode);
    if (code == QLatin1String("zh-hans") || code == QLatin1String("zh"))
        code = QStringLiteral("zh-cn");
    else if (code == QLatin1String("zh-hant"))
        code = QStringLiteral("zh-tw");
    // A detected language counts when some pair starts or ends at it, also when English reaches it on
    // no route: Russian text is read as Russian, which translates into Ukrainian, not as English.
    if (isRouteLanguage(code))
        return code;
    return std::nullopt;
}

bool translatesOnDevice(QStringView from, QStringView to)
{
    OnDevicePair pair {Text::lowercased(from), Text::lowercased(to)};
    if (pair.first == pair.second)
        return false;
    std::lock_guard lock(onDeviceMutex());
    return onDevice().pairs.count(pair) > 0;
}

} // namespace LanguageCatalog

} // namespace Lumivox
