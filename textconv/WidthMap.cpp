// The width mappings through ICU's Halfwidth-Fullwidth and Fullwidth-Halfwidth transliterators, kept
// to what code page 932 can carry into a drawing: a mapping whose result CP932 lacks is not taken.
#include "textconv/WidthMap.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>

#include "base/Error.h"

namespace gridvane {
namespace {

constexpr char16_t kVoicedMark = u'\uFF9E';     // ﾞ
constexpr char16_t kSemiVoicedMark = u'\uFF9F'; // ﾟ

// Building a transliterator parses its rules, so each thread builds each one once and keeps it.
std::unique_ptr<const icu::Transliterator> Create(const char* id)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<const icu::Transliterator> t(
        icu::Transliterator::createInstance(icu::UnicodeString(id, -1, US_INV), UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !t)
        throw Error(std::string("ICU の文字幅変換 ") + id + " を作成できません: " + u_errorName(status));
    return t;
}

const icu::Transliterator& WideTransliterator()
{
    thread_local const std::unique_ptr<const icu::Transliterator> t = Create("Halfwidth-Fullwidth");
    return *t;
}

const icu::Transliterator& NarrowTransliterator()
{
    thread_local const std::unique_ptr<const icu::Transliterator> t = Create("Fullwidth-Halfwidth");
    return *t;
}

void AppendMapped(const icu::Transliterator& t, std::u16string_view run, std::u16string& out)
{
    if (run.empty())
        return;
    icu::UnicodeString s(false, run.data(), static_cast<int32_t>(run.size())); // read-only alias, copied on write
    t.transliterate(s);
    out.append(s.getBuffer(), static_cast<std::size_t>(s.length()));
}

// Half-width kana that ICU joins with a following ﾞ into a character CP932 has (ｳ, ｶ-ﾄ, ﾊ-ﾎ);
// ICU also joins ﾜﾞ and ｦﾞ into ヷ and ヺ, which CP932 lacks, so those stay two characters.
bool JoinsVoicedMark(char16_t c)
{
    return c == u'\uFF73' || (c >= u'\uFF76' && c <= u'\uFF84') || (c >= u'\uFF8A' && c <= u'\uFF8E');
}

bool JoinsSemiVoicedMark(char16_t c)
{
    return c >= u'\uFF8A' && c <= u'\uFF8E';
}

// Full-width characters whose narrow forms (U+00A2-U+00AF signs, U+FFE8-U+FFEE forms) CP932 lacks.
bool KeepsWideForm(char16_t c)
{
    switch (c) {
    case u'\u2190': case u'\u2191': case u'\u2192': case u'\u2193': // ←↑→↓
    case u'\u2502': case u'\u25A0': case u'\u25CB':                 // │■○
    case u'\uFFE0': case u'\uFFE1': case u'\uFFE2': case u'\uFFE3': // ￠￡￢￣
    case u'\uFFE4': case u'\uFFE5':                                 // ￤￥
        return true;
    default:
        return false;
    }
}

} // namespace

std::u16string ToFullWidth(std::u16string_view text)
{
    // A sound mark that does not join becomes the spacing mark ゛ or ゜ (ICU gives the combining
    // U+3099/U+309A, which CP932 lacks); the runs between such marks go through ICU whole.
    const icu::Transliterator& t = WideTransliterator();
    std::u16string out;
    out.reserve(text.size());
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c != kVoicedMark && c != kSemiVoicedMark)
            continue;
        const char16_t before = i > 0 ? text[i - 1] : u'\0';
        if (c == kVoicedMark ? JoinsVoicedMark(before) : JoinsSemiVoicedMark(before))
            continue;
        AppendMapped(t, text.substr(runStart, i - runStart), out);
        out += c == kVoicedMark ? u'\u309B' : u'\u309C';
        runStart = i + 1;
    }
    AppendMapped(t, text.substr(runStart), out);
    return out;
}

std::u16string ToHalfWidth(std::u16string_view text)
{
    const icu::Transliterator& t = NarrowTransliterator();
    std::u16string out;
    out.reserve(text.size() + text.size() / 2);
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool spacingMark = c == u'\u309B' || c == u'\u309C'; // ゛゜, which ICU leaves alone
        if (!spacingMark && !KeepsWideForm(c))
            continue;
        AppendMapped(t, text.substr(runStart, i - runStart), out);
        out += c == u'\u309B' ? kVoicedMark : c == u'\u309C' ? kSemiVoicedMark : c;
        runStart = i + 1;
    }
    AppendMapped(t, text.substr(runStart), out);
    return out;
}

} // namespace gridvane
