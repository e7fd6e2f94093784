// The parser of number format codes: sections, conditions, tags, literals and placeholders.
#include "numfmt/NumberFormatCode.h"

#include <charconv>
#include <algorithm>

namespace gridvane::numfmt {
namespace {

constexpr char16_t kComma = u',';

char16_t Lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool StartsWithNoCase(std::u16string_view s, size_t at, std::u16string_view word)
{
    if (s.size() - at < word.size())
        return false;
    for (size_t k = 0; k < word.size(); ++k)
        if (Lower(s[at + k]) != Lower(word[k]))
            return false;
    return true;
}

size_t RunOf(std::u16string_view s, size_t at, char16_t lowerLetter)
{
    size_t j = at;
    while (j < s.size() && Lower(s[j]) == lowerLetter)
        ++j;
    return j - at;
}

bool IsDateKind(Tok k)
{
    switch (k) {
    case Tok::Year: case Tok::Month: case Tok::Day: case Tok::Hour: case Tok::Minute: case Tok::Second:
    case Tok::AmPm: case Tok::ElapsedH: case Tok::ElapsedM: case Tok::ElapsedS: case Tok::Era:
    case Tok::EraYear: case Tok::WeekdayJa:
        return true;
    default:
        return false;
    }
}

class SectionParser {
public:
    explicit SectionParser(Section& sec) : sec_(sec) {}

    // Tokens of one section; false when the section cannot be read (open quote or bracket).
    bool Tokenize(std::u16string_view s)
    {
        size_t i = 0;
        const size_t n = s.size();
        while (i < n) {
            const char16_t c = s[i];
            const char16_t lc = Lower(c);
            if (c == u'"') {
                const size_t j = s.find(u'"', i + 1);
                if (j == std::u16string_view::npos)
                    return false;
                AddLiteral(s.substr(i + 1, j - i - 1));
                i = j + 1;
            } else if (c == u'\\' || c == u'_' || c == u'*') {
                if (i + 1 >= n)
                    return false; // nothing to escape, to space for or to fill with
                if (c == u'\\')
                    AddLiteral(s.substr(i + 1, 1));
                else if (c == u'_')
                    AddLiteral(u" ");
                // '*' fills the cell: the column width is not known, so nothing
                i += 2;
            } else if (c == u'[') {
                const size_t j = s.find(u']', i + 1);
                if (j == std::u16string_view::npos)
                    return false;
                Bracket(s.substr(i + 1, j - i - 1));
                i = j + 1;
            } else if (c == u'0' || c == u'#' || c == u'?') {
                Add(Tok::Digit, c);
                ++i;
            } else if (c == u'.') {
                Add(Tok::Point, c);
                ++i;
            } else if (c == kComma) {
                Token t;
                t.kind = Tok::Literal;
                t.ch = kComma;
                t.text = u",";
                sec_.tokens.push_back(std::move(t));
                ++i;
            } else if (c == u'%') {
                ++sec_.percent;
                AddLiteral(u"%");
                ++i;
            } else if (lc == u'e' && i + 1 < n && (s[i + 1] == u'+' || s[i + 1] == u'-')) {
                Add(Tok::Exponent, s[i + 1]);
                i += 2;
            } else if (c == u'/') {
                Add(Tok::Slash, c);
                ++i;
            } else if (c >= u'1' && c <= u'9' && !sec_.tokens.empty() && sec_.tokens.back().kind == Tok::Slash) {
                int value = 0;
                size_t j = i;
                while (j < n && s[j] >= u'0' && s[j] <= u'9') {
                    if (value < 100000000)
                        value = value * 10 + (s[j] - u'0');
                    ++j;
                }
                Token t;
                t.kind = Tok::Denominator;
                t.count = value;
                t.text = std::u16string(s.substr(i, j - i));
                sec_.tokens.push_back(std::move(t));
                i = j;
            } else if (c == u'@') {
                Add(Tok::At, c);
                ++i;
            } else if (StartsWithNoCase(s, i, u"general")) {
                Add(Tok::General, c);
                i += 7;
            } else if (StartsWithNoCase(s, i, u"g/標準")) {
                Add(Tok::General, c);
                i += 4;
            } else if (lc == u'g') {
                const size_t r = RunOf(s, i, u'g');
                AddCount(Tok::Era, static_cast<int>(std::min<size_t>(r, 3)));
                i += r;
            } else if (lc == u'e') {
                const size_t r = RunOf(s, i, u'e');
                AddCount(Tok::EraYear, static_cast<int>(std::min<size_t>(r, 2)));
                i += r;
            } else if (lc == u'y') {
                const size_t r = RunOf(s, i, u'y');
                AddCount(Tok::Year, r <= 2 ? 2 : 4);
                i += r;
            } else if (lc == u'm') {
                const size_t r = RunOf(s, i, u'm');
                AddCount(Tok::Month, static_cast<int>(std::min<size_t>(r, 5)));
                i += r;
            } else if (lc == u'd') {
                const size_t r = RunOf(s, i, u'd');
                AddCount(Tok::Day, static_cast<int>(std::min<size_t>(r, 4)));
                i += r;
            } else if (lc == u'h') {
                const size_t r = RunOf(s, i, u'h');
                AddCount(Tok::Hour, static_cast<int>(std::min<size_t>(r, 2)));
                i += r;
            } else if (lc == u's') {
                const size_t r = RunOf(s, i, u's');
                AddCount(Tok::Second, static_cast<int>(std::min<size_t>(r, 2)));
                i += r;
            } else if (StartsWithNoCase(s, i, u"am/pm")) {
                Add(Tok::AmPm, c == u'A' ? u'A' : u'a');
                i += 5;
            } else if (StartsWithNoCase(s, i, u"a/p")) {
                Add(Tok::AmPm, c == u'A' ? u'P' : u'p');
                i += 3;
            } else if (lc == u'a' && RunOf(s, i, u'a') >= 3) {
                const size_t r = RunOf(s, i, u'a');
                AddCount(Tok::WeekdayJa, r >= 4 ? 4 : 3);
                i += r;
            } else {
                AddLiteral(s.substr(i, 1));
                ++i;
            }
        }
        return true;
    }

    bool sysDate = false;
    bool sysTime = false;

private:
    void Add(Tok kind, char16_t ch)
    {
        Token t;
        t.kind = kind;
        t.ch = ch;
        sec_.tokens.push_back(std::move(t));
    }

    void AddCount(Tok kind, int count)
    {
        Token t;
        t.kind = kind;
        t.count = count;
        sec_.tokens.push_back(std::move(t));
    }

    void AddLiteral(std::u16string_view text)
    {
        if (text.empty())
            return;
        if (!sec_.tokens.empty() && sec_.tokens.back().kind == Tok::Literal && sec_.tokens.back().ch == 0) {
            sec_.tokens.back().text.append(text);
            return;
        }
        Token t;
        t.kind = Tok::Literal;
        t.text = std::u16string(text);
        sec_.tokens.push_back(std::move(t));
    }

    void Bracket(std::u16string_view b)
    {
        if (b.empty())
            return;
        if (b[0] == u'$') {
            Locale(b.substr(1));
            return;
        }
        if (b[0] == u'<' || b[0] == u'>' || b[0] == u'=') {
            Condition(b);
            return;
        }
        const char16_t first = Lower(b[0]);
        if ((first == u'h' || first == u'm' || first == u's') && RunOf(b, 0, first) == b.size()) {
            AddCount(first == u'h' ? Tok::ElapsedH : first == u'm' ? Tok::ElapsedM : Tok::ElapsedS,
                     static_cast<int>(std::min<size_t>(b.size(), 2)));
            return;
        }
        if (b.size() == 6 && StartsWithNoCase(b, 0, u"dbnum") && b[5] >= u'1' && b[5] <= u'3') {
            sec_.dbnum = b[5] - u'0';
            return;
        }
        // Colours ([Red], [Color10], [赤]) and anything else unknown change nothing in the text.
    }

    void Locale(std::u16string_view b)
    {
        const size_t dash = b.find(u'-');
        const std::u16string_view symbol = dash == std::u16string_view::npos ? b : b.substr(0, dash);
        AddLiteral(symbol);
        if (dash == std::u16string_view::npos)
            return;
        const std::u16string_view loc = b.substr(dash + 1);
        bool hex = !loc.empty() && loc.size() <= 8;
        std::uint32_t value = 0;
        for (char16_t c : loc) {
            const char16_t lc = Lower(c);
            if (c >= u'0' && c <= u'9')
                value = value * 16 + (c - u'0');
            else if (lc >= u'a' && lc <= u'f')
                value = value * 16 + (lc - u'a' + 10);
            else
                hex = false;
        }
        if (hex) {
            const std::uint32_t lcid = value & 0xFFFFu;
            if (lcid == 0x411)
                sec_.japanese = true;
            else if (lcid == 0xF800)
                sysDate = true;
            else if (lcid == 0xF400)
                sysTime = true;
            return;
        }
        std::u16string lower;
        for (char16_t c : loc)
            lower.push_back(Lower(c));
        if (lower.starts_with(u"ja"))
            sec_.japanese = true;
        if (lower.find(u"x-gannen") != std::u16string::npos)
            sec_.gannen = true;
        if (lower.find(u"x-sysdate") != std::u16string::npos)
            sysDate = true;
        if (lower.find(u"x-systime") != std::u16string::npos)
            sysTime = true;
    }

    void Condition(std::u16string_view b)
    {
        size_t k = 0;
        auto next = [&](char16_t c) {
            if (k < b.size() && b[k] == c) {
                ++k;
                return true;
            }
            return false;
        };
        CondOp op;
        if (next(u'<')) {
            op = next(u'=') ? CondOp::Le : next(u'>') ? CondOp::Ne : CondOp::Lt;
        } else if (next(u'>')) {
            op = next(u'=') ? CondOp::Ge : CondOp::Gt;
        } else {
            next(u'=');
            op = CondOp::Eq;
        }
        std::string narrow;
        for (; k < b.size(); ++k) {
            if (b[k] == u' ')
                continue;
            if (b[k] > 0x7F)
                return;
            narrow.push_back(static_cast<char>(b[k]));
        }
        double v = 0;
        auto [p, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), v);
        if (ec != std::errc() || p != narrow.data() + narrow.size())
            return;
        sec_.op = op;
        sec_.condValue = v;
    }

    Section& sec_;
};

void MakeLiteral(Token& t)
{
    std::u16string text;
    switch (t.kind) {
    case Tok::Digit: text.assign(1, t.ch); break;
    case Tok::Point: text = u"."; break;
    case Tok::Exponent: text = t.ch == u'+' ? u"E+" : u"E-"; break;
    case Tok::Slash: text = u"/"; break;
    case Tok::Denominator: text = t.text; break;
    case Tok::Literal: return;
    default: text.clear(); break;
    }
    t.kind = Tok::Literal;
    t.ch = 0;
    t.text = std::move(text);
}

void ResolveDate(Section& sec)
{
    auto& toks = sec.tokens;
    for (size_t i = 0; i < toks.size(); ++i) {
        Token& t = toks[i];
        if (t.kind == Tok::Point && i + 1 < toks.size() && toks[i + 1].kind == Tok::Digit && toks[i + 1].ch == u'0') {
            size_t j = i + 1;
            while (j < toks.size() && toks[j].kind == Tok::Digit && toks[j].ch == u'0')
                ++j;
            t.kind = Tok::SubSecond;
            t.count = static_cast<int>(std::min<size_t>(j - i - 1, 3));
            sec.subSecond = std::max(sec.subSecond, t.count);
            toks.erase(toks.begin() + static_cast<std::ptrdiff_t>(i + 1), toks.begin() + static_cast<std::ptrdiff_t>(j));
        } else if (t.kind == Tok::AmPm) {
            sec.hasAmPm = true;
        } else if (!IsDateKind(t.kind) && t.kind != Tok::At && t.kind != Tok::General) {
            MakeLiteral(t);
        }
    }
    // m and mm are minutes right after an hour or right before a second.
    for (size_t i = 0; i < toks.size(); ++i) {
        if (toks[i].kind != Tok::Month || toks[i].count > 2)
            continue;
        bool minute = false;
        for (size_t k = i; k-- > 0;) {
            if (toks[k].kind == Tok::Literal)
                continue;
            minute = toks[k].kind == Tok::Hour || toks[k].kind == Tok::ElapsedH;
            break;
        }
        for (size_t k = i + 1; !minute && k < toks.size(); ++k) {
            if (toks[k].kind == Tok::Literal)
                continue;
            minute = toks[k].kind == Tok::Second || toks[k].kind == Tok::ElapsedS;
            break;
        }
        if (minute)
            toks[i].kind = Tok::Minute;
    }
    sec.kind = Kind::Date;
}

void ResolveNumber(Section& sec)
{
    auto& toks = sec.tokens;
    size_t expAt = toks.size();
    for (size_t i = 0; i < toks.size(); ++i)
        if (toks[i].kind == Tok::Exponent) {
            expAt = i;
            break;
        }
    bool anyDigitBeforeExp = false;
    for (size_t i = 0; i < expAt; ++i)
        anyDigitBeforeExp = anyDigitBeforeExp || toks[i].kind == Tok::Digit;

    size_t slashAt = toks.size();
    if (expAt == toks.size()) {
        for (size_t i = 1; i + 1 < toks.size(); ++i)
            if (toks[i].kind == Tok::Slash && toks[i - 1].kind == Tok::Digit &&
                (toks[i + 1].kind == Tok::Digit || toks[i + 1].kind == Tok::Denominator)) {
                slashAt = i;
                break;
            }
    }

    if (expAt < toks.size() && anyDigitBeforeExp) {
        sec.kind = Kind::Scientific;
        bool point = false;
        for (size_t i = 0; i < toks.size(); ++i) {
            Token& t = toks[i];
            if (i == expAt)
                continue;
            if (t.kind == Tok::Point && i < expAt && !point) {
                point = true;
            } else if (t.kind == Tok::Digit) {
                if (i > expAt) {
                    t.zone = Zone::ExponentDigits;
                    if (t.ch != u'#')
                        ++sec.expDigits;
                } else if (point) {
                    t.zone = Zone::Fraction;
                    ++sec.fracDigits;
                } else {
                    t.zone = Zone::Integer;
                    ++sec.intDigits;
                    if (t.ch == u'#')
                        sec.engineering = true;
                }
            } else if (t.kind != Tok::Literal && t.kind != Tok::General) {
                MakeLiteral(t);
            }
        }
        if (sec.intDigits < 2)
            sec.engineering = false;
    } else if (slashAt < toks.size()) {
        sec.kind = Kind::Fraction;
        size_t numStart = slashAt;
        while (numStart > 0 && toks[numStart - 1].kind == Tok::Digit)
            --numStart;
        for (size_t i = 0; i < toks.size(); ++i) {
            Token& t = toks[i];
            if (i == slashAt)
                continue;
            if (t.kind == Tok::Digit) {
                if (i < numStart) {
                    t.zone = Zone::FracInteger;
                    ++sec.intDigits;
                } else if (i < slashAt) {
                    t.zone = Zone::Numerator;
                    ++sec.numDigits;
                } else {
                    t.zone = Zone::DenominatorDigits;
                    ++sec.denDigits;
                }
            } else if (t.kind == Tok::Denominator && i == slashAt + 1) {
                sec.fixedDen = std::max(1, t.count);
            } else if (t.kind != Tok::Literal && t.kind != Tok::General) {
                MakeLiteral(t);
            }
        }
        if (sec.fixedDen > 0) {
            for (Token& t : toks)
                if (t.kind == Tok::Digit && t.zone == Zone::DenominatorDigits)
                    MakeLiteral(t);
            sec.denDigits = 0;
        }
        sec.denDigits = std::min(sec.denDigits, 7);
    } else {
        sec.kind = Kind::Number;
        bool point = false;
        for (Token& t : toks) {
            if (t.kind == Tok::Point && !point) {
                point = true;
            } else if (t.kind == Tok::Digit) {
                t.zone = point ? Zone::Fraction : Zone::Integer;
                ++(point ? sec.fracDigits : sec.intDigits);
            } else if (t.kind != Tok::Literal && t.kind != Tok::General) {
                MakeLiteral(t);
            }
        }
    }

    // Commas: between integer placeholders they group thousands; right after the last placeholder they
    // divide by 1000 each; anywhere else they are shown.
    for (size_t i = 0; i < toks.size();) {
        if (!(toks[i].kind == Tok::Literal && toks[i].ch == kComma)) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < toks.size() && toks[j].kind == Tok::Literal && toks[j].ch == kComma)
            ++j;
        const bool afterDigit = i > 0 && toks[i - 1].kind == Tok::Digit;
        const bool beforeDigit = j < toks.size() && toks[j].kind == Tok::Digit;
        if (afterDigit && beforeDigit && (sec.kind == Kind::Number || sec.kind == Kind::Scientific) &&
            toks[i - 1].zone == Zone::Integer && toks[j].zone == Zone::Integer) {
            sec.grouping = true;
            toks.erase(toks.begin() + static_cast<std::ptrdiff_t>(i), toks.begin() + static_cast<std::ptrdiff_t>(j));
        } else if (afterDigit && !beforeDigit) {
            sec.scale += static_cast<int>(j - i);
            toks.erase(toks.begin() + static_cast<std::ptrdiff_t>(i), toks.begin() + static_cast<std::ptrdiff_t>(j));
        } else {
            for (size_t k = i; k < j; ++k)
                toks[k].ch = 0;
            i = j;
        }
    }
    // Literals next to each other after the commas were resolved.
    for (size_t i = 1; i < toks.size();) {
        if (toks[i].kind == Tok::Literal && toks[i - 1].kind == Tok::Literal) {
            toks[i - 1].text += toks[i].text;
            toks.erase(toks.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

bool ParseSection(std::u16string_view text, Section& sec)
{
    SectionParser parser(sec);
    if (!parser.Tokenize(text))
        return false;
    if (parser.sysDate || parser.sysTime) {
        // The system's long date and time forms, as a Japanese system writes them.
        Section replaced;
        replaced.op = sec.op;
        replaced.condValue = sec.condValue;
        SectionParser again(replaced);
        again.Tokenize(parser.sysDate ? std::u16string_view(u"yyyy\"年\"m\"月\"d\"日\"") : std::u16string_view(u"h:mm:ss"));
        replaced.japanese = true;
        sec = std::move(replaced);
    }
    bool date = false, number = false, at = false;
    for (const Token& t : sec.tokens) {
        date = date || IsDateKind(t.kind);
        number = number || t.kind == Tok::Digit || t.kind == Tok::General;
        at = at || t.kind == Tok::At;
    }
    if (date)
        ResolveDate(sec);
    else if (number)
        ResolveNumber(sec);
    else if (at)
        sec.kind = Kind::Text;
    else if (sec.tokens.empty())
        sec.kind = Kind::Empty;
    else
        ResolveNumber(sec);
    if (sec.kind == Kind::Text)
        for (Token& t : sec.tokens)
            if (t.kind != Tok::At)
                MakeLiteral(t);
    return true;
}

} // namespace

FormatCode ParseFormatCode(std::u16string_view code)
{
    FormatCode fc;
    bool blank = true;
    for (char16_t c : code)
        blank = blank && c == u' ';
    if (blank)
        return fc;

    std::vector<std::u16string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < code.size(); ++i) {
        const char16_t c = code[i];
        if (c == u'"') {
            const size_t j = code.find(u'"', i + 1);
            if (j == std::u16string_view::npos)
                return fc;
            i = j;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const size_t j = code.find(u']', i + 1);
            if (j == std::u16string_view::npos)
                return fc;
            i = j;
        } else if (c == u';') {
            parts.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start <= code.size())
        parts.push_back(code.substr(std::min(start, code.size())));
    if (parts.size() > 4)
        return fc;

    fc.sections.resize(parts.size());
    for (size_t k = 0; k < parts.size(); ++k)
        if (!ParseSection(parts[k], fc.sections[k]))
            return FormatCode{};
    if (fc.sections.size() == 4) {
        fc.textSection = 3;
    } else {
        for (size_t k = 0; k < fc.sections.size(); ++k)
            if (fc.sections[k].kind == Kind::Text) {
                fc.textSection = static_cast<int>(k);
                break;
            }
    }
    fc.valid = true;
    return fc;
}

} // namespace gridvane::numfmt
