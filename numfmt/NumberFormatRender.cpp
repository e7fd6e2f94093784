// Rendering of numbers and texts through parsed number format codes.
#include "numfmt/NumberFormatCode.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace gridvane::numfmt {
namespace {

// What a date or time that the spreadsheet cannot show (negative, after 9999-12-31) renders as: the cell
// is filled with number signs there; the column width is not known here, so a standard-width cell's eight.
constexpr std::u16string_view kNoDate = u"########";
constexpr std::u16string_view kBadNumber = u"#NUM!";

// Keeps the first `keep` digits, rounding half away from zero.
void RoundTo(Decimal& v, int keep)
{
    if (v.n == 0 || keep >= v.n)
        return;
    if (keep < 0) {
        v.n = 0;
        return;
    }
    const bool up = v.d[keep] >= '5';
    v.n = keep;
    if (up) {
        int k = keep - 1;
        while (k >= 0 && v.d[k] == '9') {
            v.d[k] = '0';
            --k;
        }
        if (k >= 0) {
            ++v.d[k];
        } else {
            v.d[0] = '1';
            v.n = 1;
            ++v.e;
        }
    }
    while (v.n > 0 && v.d[v.n - 1] == '0')
        --v.n;
}

// Integer digits (no leading zeros, empty for zero) and exactly `decimals` fraction digits.
void Fixed(Decimal v, int decimals, std::string& ip, std::string& fp)
{
    RoundTo(v, v.e + decimals);
    ip.clear();
    fp.clear();
    if (v.n > 0)
        for (int k = 0; k < v.e; ++k)
            ip.push_back(k < v.n ? v.d[k] : '0');
    for (int k = 0; k < decimals; ++k) {
        const int idx = v.e + k;
        fp.push_back(v.n > 0 && idx >= 0 && idx < v.n ? v.d[idx] : '0');
    }
}

void Append(std::u16string& out, const std::string& ascii)
{
    for (char c : ascii)
        out.push_back(static_cast<char16_t>(c));
}

void AppendInt(std::u16string& out, long long v, int width)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    for (int k = static_cast<int>(res.ptr - buf); k < width; ++k)
        out.push_back(u'0');
    for (const char* p = buf; p < res.ptr; ++p)
        out.push_back(static_cast<char16_t>(*p));
}

std::u16string Scientific(Decimal v, int significant)
{
    RoundTo(v, significant);
    std::u16string out;
    out.push_back(static_cast<char16_t>(v.d[0]));
    if (v.n > 1) {
        out.push_back(u'.');
        for (int k = 1; k < v.n; ++k)
            out.push_back(static_cast<char16_t>(v.d[k]));
    }
    const int x = v.e - 1;
    out.push_back(u'E');
    out.push_back(x < 0 ? u'-' : u'+');
    AppendInt(out, x < 0 ? -x : x, 2);
    return out;
}

std::u16string GeneralAbs(double a)
{
    return GeneralOfDigits(ToDecimal(a), true);
}

} // namespace

// The General form of a non-negative number: at most 11 characters besides the sign.
std::u16string GeneralOfDigits(const Decimal& x, bool direct)
{
    if (x.n == 0)
        return u"0";
    const int exp10 = x.e - 1;
    // From 1 up to 11 integer digits, with the few decimals that fit: the digits as they are, no rounding.
    if (direct && exp10 >= 0 && exp10 <= 10 && x.n <= std::max(x.e, 10)) {
        std::u16string out;
        out.reserve(static_cast<std::size_t>(std::max(x.n, x.e) + 1));
        for (int k = 0; k < x.e; ++k)
            out.push_back(static_cast<char16_t>(k < x.n ? x.d[k] : '0'));
        if (x.n > x.e) {
            out.push_back(u'.');
            for (int k = x.e; k < x.n; ++k)
                out.push_back(static_cast<char16_t>(x.d[k]));
        }
        return out;
    }
    if (exp10 >= 11 || exp10 < -9)
        return Scientific(x, 6);
    int decimals;
    if (exp10 >= 0) {
        decimals = std::max(0, 10 - (exp10 + 1));
    } else {
        // Small numbers: the decimal form when it keeps as many significant digits as the scientific one.
        const int capacity = 10 + exp10;
        if (capacity < std::min(x.n, 6))
            return Scientific(x, 6);
        decimals = 9;
    }
    Decimal y = x;
    RoundTo(y, y.e + decimals);
    if (y.n > 0 && y.e - 1 >= 11)
        return Scientific(x, 6);
    std::string ip, fp;
    Fixed(y, decimals, ip, fp);
    while (!fp.empty() && fp.back() == '0')
        fp.pop_back();
    std::u16string out;
    if (ip.empty())
        out.push_back(u'0');
    Append(out, ip);
    if (!fp.empty()) {
        out.push_back(u'.');
        Append(out, fp);
    }
    return out;
}

namespace {

bool Matches(const Section& s, double v)
{
    switch (s.op) {
    case CondOp::Lt: return v < s.condValue;
    case CondOp::Le: return v <= s.condValue;
    case CondOp::Gt: return v > s.condValue;
    case CondOp::Ge: return v >= s.condValue;
    case CondOp::Eq: return v == s.condValue;
    case CondOp::Ne: return v != s.condValue;
    case CondOp::None: return false;
    }
    return false;
}

bool OnlyNegative(const Section& s)
{
    return (s.op == CondOp::Lt && s.condValue <= 0) || (s.op == CondOp::Le && s.condValue < 0);
}

// Integer placeholders filled from the right; the leftmost one also takes the digits that do not fit.
class IntegerZone {
public:
    IntegerZone(const std::string& digits, int placeholders, bool grouping)
        : digits_(digits), count_(placeholders), grouping_(grouping) {}

    void Emit(std::u16string& out, char16_t ph)
    {
        const int len = static_cast<int>(digits_.size());
        const int i = index_++;
        const int r = count_ - 1 - i;
        if (i == 0)
            for (int j = 0; j < len - count_; ++j)
                Digit(out, digits_[static_cast<size_t>(j)], len - 1 - j);
        if (r < 0)
            return;
        if (r < len)
            Digit(out, digits_[static_cast<size_t>(len - 1 - r)], r);
        else if (ph == u'0')
            Digit(out, '0', r);
        else if (ph == u'?')
            out.push_back(u' ');
    }

    // All digits at once, for a number without integer placeholders.
    void EmitAll(std::u16string& out)
    {
        const int len = static_cast<int>(digits_.size());
        for (int j = 0; j < len; ++j)
            Digit(out, digits_[static_cast<size_t>(j)], len - 1 - j);
    }

private:
    void Digit(std::u16string& out, char d, int pos)
    {
        out.push_back(static_cast<char16_t>(d));
        if (grouping_ && pos > 0 && pos % 3 == 0)
            out.push_back(u',');
    }

    const std::string& digits_;
    int count_;
    bool grouping_;
    int index_ = 0;
};

// Fraction placeholders filled from the left; trailing zeros vanish under # and become spaces under ?.
class FractionZone {
public:
    FractionZone(const Section& s, const std::string& digits) : digits_(digits)
    {
        int j = 0;
        for (const Token& t : s.tokens) {
            if (t.kind != Tok::Digit || t.zone != Zone::Fraction)
                continue;
            if (t.ch == u'0' || (j < static_cast<int>(digits.size()) && digits[static_cast<size_t>(j)] != '0'))
                lastShown_ = j;
            ++j;
        }
    }

    void Emit(std::u16string& out, char16_t ph)
    {
        const int j = index_++;
        if (j <= lastShown_ && j < static_cast<int>(digits_.size()))
            out.push_back(static_cast<char16_t>(digits_[static_cast<size_t>(j)]));
        else if (ph == u'?')
            out.push_back(u' ');
    }

private:
    const std::string& digits_;
    int lastShown_ = -1;
    int index_ = 0;
};

double Pow10(int n)
{
    double r = 1;
    for (int k = 0; k < n; ++k)
        r *= 10;
    return r;
}

// The tokens of a number section with the integer digits ip and the fraction digits fp: literals, the
// decimal point and the digit placeholders of the two zones; other(t, out) renders any other token.
template <class Other>
std::u16string RenderZones(const Section& s, const std::string& ip, const std::string& fp, bool minus, Other other)
{
    std::u16string out;
    if (minus)
        out.push_back(u'-');
    IntegerZone integer(ip, s.intDigits, s.grouping);
    FractionZone fraction(s, fp);
    for (const Token& t : s.tokens) {
        switch (t.kind) {
        case Tok::Literal: out += t.text; break;
        case Tok::Point:
            if (s.intDigits == 0)
                integer.EmitAll(out);
            out.push_back(u'.');
            break;
        case Tok::Digit:
            if (t.zone == Zone::Integer)
                integer.Emit(out, t.ch);
            else if (t.zone == Zone::Fraction)
                fraction.Emit(out, t.ch);
            break;
        default: other(t, out); break;
        }
    }
    return out;
}

std::u16string RenderFixed(const Section& s, double a, bool minus)
{
    Decimal x = ToDecimal(a);
    if (x.n > 0)
        x.e += 2 * s.percent - 3 * s.scale;
    std::string ip, fp;
    Fixed(x, s.fracDigits, ip, fp);
    return RenderZones(s, ip, fp, minus, [&](const Token& t, std::u16string& out) {
        if (t.kind == Tok::General)
            out += GeneralAbs(a);
    });
}

std::u16string RenderScientific(const Section& s, double a, bool minus)
{
    Decimal x = ToDecimal(a);
    const int k = std::max(1, s.intDigits);
    int exponent = 0;
    std::string ip, fp;
    if (x.n > 0) {
        x.e += 2 * s.percent;
        int e10 = x.e - 1;
        auto place = [&](int e, int& ex, int& intCount) {
            if (s.engineering) {
                ex = e - (((e % k) + k) % k);
                intCount = e - ex + 1;
            } else {
                ex = e - (k - 1);
                intCount = k;
            }
        };
        int intCount = 0;
        place(e10, exponent, intCount);
        RoundTo(x, intCount + s.fracDigits);
        if (x.e - 1 != e10) {
            e10 = x.e - 1;
            place(e10, exponent, intCount);
        }
        for (int j = 0; j < intCount; ++j)
            ip.push_back(j < x.n ? x.d[j] : '0');
        while (!ip.empty() && ip.front() == '0')
            ip.erase(ip.begin());
        for (int j = 0; j < s.fracDigits; ++j) {
            const int idx = intCount + j;
            fp.push_back(idx < x.n ? x.d[idx] : '0');
        }
    } else {
        fp.assign(static_cast<size_t>(s.fracDigits), '0');
    }
    return RenderZones(s, ip, fp, minus, [&](const Token& t, std::u16string& out) {
        if (t.kind != Tok::Exponent)
            return;
        out.push_back(u'E');
        if (exponent < 0)
            out.push_back(u'-');
        else if (t.ch == u'+')
            out.push_back(u'+');
        AppendInt(out, exponent < 0 ? -exponent : exponent, s.expDigits);
    });
}

// The closest fraction to f (0 <= f < 1) with a denominator up to maxDen.
void ClosestFraction(double f, long long maxDen, long long& num, long long& den)
{
    long long pm2 = 0, qm2 = 1, pm1 = 1, qm1 = 0;
    double x = f;
    bool capped = false;
    for (int step = 0; step < 64; ++step) {
        const double a = std::floor(x);
        if (a > static_cast<double>(maxDen)) {
            capped = true;
            break;
        }
        const long long ai = static_cast<long long>(a);
        const long long p = ai * pm1 + pm2;
        const long long q = ai * qm1 + qm2;
        if (q > maxDen) {
            capped = true;
            break;
        }
        pm2 = pm1;
        qm2 = qm1;
        pm1 = p;
        qm1 = q;
        const double rest = x - a;
        if (rest < 1e-12)
            break;
        x = 1.0 / rest;
    }
    if (qm1 == 0) {
        num = 0;
        den = 1;
        return;
    }
    num = pm1;
    den = qm1;
    if (capped) {
        const long long k = (maxDen - qm2) / qm1;
        if (k > 0) {
            const long long ps = pm2 + k * pm1;
            const long long qs = qm2 + k * qm1;
            if (std::fabs(f - static_cast<double>(ps) / static_cast<double>(qs)) <
                std::fabs(f - static_cast<double>(pm1) / static_cast<double>(qm1))) {
                num = ps;
                den = qs;
            }
        }
    }
}

std::string DigitsOf(double v)
{
    std::string ip, fp;
    Fixed(ToDecimal(v), 0, ip, fp);
    return ip;
}

std::u16string RenderFraction(const Section& s, double a, bool minus)
{
    const double w = a * Pow10(2 * s.percent);
    const bool hasInt = s.intDigits > 0;
    double whole = 0;
    long long num = 0, den = 1;
    std::string bigNumerator;
    if (!(w < 1e15)) {
        // No fraction left to show at this magnitude (or the value overflowed with %).
        if (hasInt)
            whole = w;
        else
            bigNumerator = DigitsOf(w);
    } else {
        whole = hasInt ? std::floor(w) : 0.0;
        const double f = w - std::floor(w);
        if (s.fixedDen > 0) {
            den = s.fixedDen;
            num = static_cast<long long>(std::floor(f * static_cast<double>(den) + 0.5));
        } else {
            long long maxDen = 1;
            for (int k = 0; k < std::max(1, s.denDigits); ++k)
                maxDen *= 10;
            ClosestFraction(f, maxDen - 1, num, den);
        }
        if (!hasInt) {
            // The whole part joins the numerator. With a large denominator that can pass what a 64-bit
            // integer holds; the numerator is then shown as the double it is, to 15 significant digits.
            const long long wholePart = static_cast<long long>(std::floor(w));
            long long scaled = 0, total = 0;
            if (__builtin_mul_overflow(wholePart, den, &scaled) || __builtin_add_overflow(num, scaled, &total)) {
                bigNumerator = DigitsOf(std::floor(w) * static_cast<double>(den) + static_cast<double>(num));
                num = 0;
            } else {
                num = total;
            }
        }
    }
    if (hasInt && num >= den) {
        whole += 1;
        num -= den;
    }
    const bool blankFraction = hasInt && num == 0;
    std::string ip = DigitsOf(whole);
    if (ip.empty() && blankFraction)
        ip.push_back('0');
    const std::string np = bigNumerator.empty() ? std::to_string(num) : bigNumerator;
    const std::string dp = std::to_string(den);

    std::u16string out;
    if (minus)
        out.push_back(u'-');
    IntegerZone integer(ip, s.intDigits, s.grouping);
    const std::string numeratorDigits = blankFraction ? std::string() : np;
    IntegerZone numerator(numeratorDigits, s.numDigits, false);
    int denIndex = 0;
    for (const Token& t : s.tokens) {
        switch (t.kind) {
        case Tok::Literal: out += t.text; break;
        case Tok::Slash: out.push_back(blankFraction ? u' ' : u'/'); break;
        case Tok::Denominator:
            if (blankFraction)
                out.append(t.text.size(), u' ');
            else
                Append(out, dp);
            break;
        case Tok::Digit:
            if (t.zone == Zone::FracInteger) {
                integer.Emit(out, t.ch);
            } else if (t.zone == Zone::Numerator) {
                if (blankFraction)
                    out += t.ch == u'?' ? u" " : u"";
                else
                    numerator.Emit(out, t.ch);
            } else if (t.zone == Zone::DenominatorDigits) {
                const int j = denIndex++;
                if (blankFraction)
                    out += t.ch == u'?' ? u" " : u"";
                else if (j == 0)
                    Append(out, dp);
                else if (j >= static_cast<int>(dp.size()) && t.ch == u'?')
                    out.push_back(u' ');
            }
            break;
        default: break;
        }
    }
    return out;
}

// ---- dates -------------------------------------------------------------------------------------------

struct Civil {
    int y = 1900, m = 1, d = 0;
};

Civil FromDays(long long z) // days since 1970-01-01
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    Civil c;
    c.d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.y = static_cast<int>(yoe + era * 400 + (c.m <= 2 ? 1 : 0));
    return c;
}

// A day of the 1900 date system, with its 0 January and 29 February 1900.
Civil FromSerial(long long serial)
{
    if (serial == 0)
        return Civil{1900, 1, 0};
    if (serial == 60)
        return Civil{1900, 2, 29};
    return FromDays(serial < 60 ? serial - 25568 : serial - 25569);
}

struct Era {
    int start;
    const char16_t* letter;
    const char16_t* one;
    const char16_t* name;
};

constexpr Era kEras[] = {
    {18680908, u"M", u"明", u"明治"}, {19120730, u"T", u"大", u"大正"}, {19261225, u"S", u"昭", u"昭和"},
    {19890108, u"H", u"平", u"平成"}, {20190501, u"R", u"令", u"令和"},
};

const char16_t* const kMonths[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                   u"July",    u"August",   u"September", u"October", u"November", u"December"};
const char16_t* const kDays[] = {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};
const char16_t* const kDaysJa[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};

std::u16string RenderDate(const Section& s, double a, bool negative, bool date1904)
{
    const double maxSerial = date1904 ? 2957003.0 : 2958465.0;
    if (negative || !(a < maxSerial + 1))
        return std::u16string(kNoDate);
    // Times are rounded to the shown precision of seconds; without seconds, to the millisecond, so that
    // 23:59:59.6 stays in its minute and day.
    bool showsSeconds = false;
    for (const Token& t : s.tokens)
        showsSeconds = showsSeconds || t.kind == Tok::Second || t.kind == Tok::ElapsedS;
    const int digits = showsSeconds ? s.subSecond : 3;
    long long scale = 1;
    for (int k = 0; k < digits; ++k)
        scale *= 10;
    const long long perDay = 86400LL * scale;
    const long long units = static_cast<long long>(std::floor(a * static_cast<double>(perDay) + 0.5));
    const long long days = units / perDay;
    if (days > static_cast<long long>(maxSerial))
        return std::u16string(kNoDate);
    const long long rem = units % perDay;
    const long long sub = rem % scale;
    const long long secs = rem / scale;
    const long long hour = secs / 3600, minute = secs / 60 % 60, second = secs % 60;
    const long long totalSecs = units / scale;

    const long long serial = date1904 ? days + 1462 : days;
    const Civil c = FromSerial(serial);
    const int weekday = static_cast<int>((serial + 6) % 7);
    const int key = c.y * 10000 + c.m * 100 + c.d;
    int era = 0;
    for (int k = 0; k < 5; ++k)
        if (key >= kEras[k].start)
            era = k;
    const int eraYear = c.y - kEras[era].start / 10000 + 1;

    std::u16string out;
    for (const Token& t : s.tokens) {
        switch (t.kind) {
        case Tok::Literal: out += t.text; break;
        case Tok::General: out += GeneralAbs(a); break;
        case Tok::Year:
            if (t.count == 2)
                AppendInt(out, c.y % 100, 2);
            else
                AppendInt(out, c.y, 4);
            break;
        case Tok::Month:
            if (t.count <= 2)
                AppendInt(out, c.m, t.count);
            else if (t.count == 3)
                out.append(kMonths[c.m - 1], 3);
            else if (t.count == 4)
                out += kMonths[c.m - 1];
            else
                out.push_back(kMonths[c.m - 1][0]);
            break;
        case Tok::Day:
            if (t.count <= 2)
                AppendInt(out, c.d, t.count);
            else if (t.count == 3)
                out.append(kDays[weekday], 3);
            else
                out += kDays[weekday];
            break;
        case Tok::Hour: {
            long long h = hour;
            if (s.hasAmPm) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            AppendInt(out, h, t.count);
            break;
        }
        case Tok::Minute: AppendInt(out, minute, t.count); break;
        case Tok::Second: AppendInt(out, second, t.count); break;
        case Tok::SubSecond: {
            out.push_back(u'.');
            long long v = sub;
            for (int k = t.count; k < digits; ++k)
                v /= 10;
            AppendInt(out, v, t.count);
            break;
        }
        case Tok::AmPm: {
            const bool pm = hour >= 12;
            if (s.japanese)
                out += pm ? u"午後" : u"午前";
            else if (t.ch == u'A')
                out += pm ? u"PM" : u"AM";
            else if (t.ch == u'a')
                out += pm ? u"pm" : u"am";
            else if (t.ch == u'P')
                out += pm ? u"P" : u"A";
            else
                out += pm ? u"p" : u"a";
            break;
        }
        case Tok::ElapsedH: AppendInt(out, totalSecs / 3600, t.count); break;
        case Tok::ElapsedM: AppendInt(out, totalSecs / 60, t.count); break;
        case Tok::ElapsedS: AppendInt(out, totalSecs, t.count); break;
        case Tok::Era:
            out += t.count == 1 ? kEras[era].letter : t.count == 2 ? kEras[era].one : kEras[era].name;
            break;
        case Tok::EraYear:
            if (s.gannen && eraYear == 1)
                out += u"元";
            else
                AppendInt(out, eraYear, t.count);
            break;
        case Tok::WeekdayJa:
            out += kDaysJa[weekday];
            if (t.count == 4)
                out += u"曜日";
            break;
        default: break;
        }
    }
    return out;
}

// ---- [DBNum] ------------------------------------------------------------------------------------------

void KanjiNumber(std::u16string& out, std::u16string_view digits, int kind)
{
    static const char16_t* const kDigits1 = u"〇一二三四五六七八九";
    static const char16_t* const kDigits2 = u"〇壱弐参四伍六七八九";
    static const char16_t* const kUnits1[] = {u"", u"十", u"百", u"千"};
    static const char16_t* const kUnits2[] = {u"", u"拾", u"百", u"阡"};
    static const char16_t* const kBig1[] = {u"", u"万", u"億", u"兆"};
    static const char16_t* const kBig2[] = {u"", u"萬", u"億", u"兆"};
    const char16_t* digitSet = kind == 1 ? kDigits1 : kDigits2;
    while (digits.size() > 1 && digits[0] == u'0')
        digits.remove_prefix(1);
    if (digits.size() > 16) {
        for (char16_t d : digits)
            out.push_back(digitSet[d - u'0']);
        return;
    }
    if (digits == u"0") {
        out.push_back(digitSet[0]);
        return;
    }
    const int len = static_cast<int>(digits.size());
    for (int i = 0; i < len;) {
        const int pos = len - 1 - i;           // position from the right
        const int group = pos / 4;
        bool any = false;
        for (; i < len && (len - 1 - i) / 4 == group; ++i) {
            const int d = digits[static_cast<size_t>(i)] - u'0';
            const int unit = (len - 1 - i) % 4;
            if (d == 0)
                continue;
            any = true;
            if (!(d == 1 && unit > 0 && kind == 1))
                out.push_back(digitSet[d]);
            out += kind == 1 ? kUnits1[unit] : kUnits2[unit];
        }
        if (any)
            out += kind == 1 ? kBig1[group] : kBig2[group];
    }
}

// Digits in kanji or full width: with place values (千二百三十四) for General and dates, digit by digit
// (一二三四) for digit placeholders; [DBNum3] always digit by digit in full width.
std::u16string ApplyDbNum(const std::u16string& text, int kind, bool placeValue)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const char16_t c = text[i];
        if (c < u'0' || c > u'9') {
            out.push_back(c);
            ++i;
            continue;
        }
        size_t j = i;
        while (j < text.size() && text[j] >= u'0' && text[j] <= u'9')
            ++j;
        const std::u16string_view run(text.data() + i, j - i);
        if (kind == 3) {
            for (char16_t d : run)
                out.push_back(static_cast<char16_t>(u'０' + (d - u'0')));
        } else if (!placeValue || (i > 0 && text[i - 1] == u'.')) {
            for (char16_t d : run)
                out.push_back((kind == 1 ? u"〇一二三四五六七八九" : u"〇壱弐参四伍六七八九")[d - u'0']);
        } else {
            KanjiNumber(out, run, kind);
        }
        i = j;
    }
    return out;
}

std::u16string RenderSection(const Section& s, double value, bool minus, bool date1904)
{
    const double a = std::fabs(value);
    std::u16string out;
    switch (s.kind) {
    case Kind::Empty: return out;
    case Kind::Text: out = GeneralText(value); break;
    case Kind::Number:
        if (s.tokens.size() == 1 && s.tokens[0].kind == Tok::General && s.dbnum == 0)
            return minus ? GeneralText(value) : GeneralAbs(a);
        out = RenderFixed(s, a, minus);
        break;
    case Kind::Scientific: out = RenderScientific(s, a, minus); break;
    case Kind::Fraction: out = RenderFraction(s, a, minus); break;
    case Kind::Date: out = RenderDate(s, a, value < 0, date1904); break;
    }
    if (s.dbnum != 0) {
        bool placeValue = s.kind == Kind::Date;
        for (const Token& t : s.tokens)
            placeValue = placeValue || t.kind == Tok::General;
        out = ApplyDbNum(out, s.dbnum, placeValue);
    }
    return out;
}

} // namespace

Decimal ToDecimalByText(double a)
{
    Decimal r;
    if (!(a > 0) || !std::isfinite(a))
        return r;
    char buf[48];
    const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14);
    const char* p = buf;
    const char* end = res.ptr;
    r.d[r.n++] = *p++;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && *p != 'e' && r.n < 20)
            r.d[r.n++] = *p++;
    }
    while (p < end && *p != 'e')
        ++p;
    ++p;
    int sign = 1;
    if (p < end && *p == '-') {
        sign = -1;
        ++p;
    } else if (p < end && *p == '+') {
        ++p;
    }
    int x = 0;
    while (p < end)
        x = x * 10 + (*p++ - '0');
    r.e = sign * x + 1;
    while (r.n > 0 && r.d[r.n - 1] == '0')
        --r.n;
    return r;
}

Decimal ToDecimal(double a)
{
    // A number that is m / 10^k for a whole m of at most 15 digits and a small k (whole numbers, halves,
    // amounts of a few decimals) is the double nearest that decimal, whose 15 digits are m's: they are
    // taken from m, without the library's formatting.
    static constexpr double kTens[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
    if (a > 0 && a < 1e15) {
        for (const double ten : kTens) {
            const double m = a * ten;
            if (m >= 1e15) break;
            if (m != std::trunc(m) || m / ten != a) continue;
            char digits[16];
            int n = 0;
            for (auto w = static_cast<std::uint64_t>(m); w > 0; w /= 10) digits[n++] = static_cast<char>('0' + w % 10);
            Decimal r;
            int k = 0;
            while (k < n && digits[k] == '0') ++k; // trailing zeros, the lowest digits
            for (int i = n - 1; i >= k; --i) r.d[r.n++] = digits[i];
            int places = 0;
            while (kTens[places] != ten) ++places;
            r.e = n - places;
            return r;
        }
    }
    return ToDecimalByText(a);
}

std::u16string GeneralText(double value)
{
    if (!std::isfinite(value))
        return std::u16string(kBadNumber);
    if (value >= 0)
        return GeneralAbs(value);
    std::u16string out(1, u'-');
    out += GeneralAbs(-value);
    return out;
}

std::u16string RenderNumber(const FormatCode& code, double value, bool date1904)
{
    if (!std::isfinite(value))
        return std::u16string(kBadNumber);
    if (!code.valid || code.sections.empty())
        return GeneralText(value);
    const auto& secs = code.sections;
    // Sections before the text section take the numbers.
    size_t numeric = std::min<size_t>(secs.size(), 3);
    if (code.textSection > 0 && static_cast<size_t>(code.textSection) < numeric)
        numeric = static_cast<size_t>(code.textSection);
    const bool conditional = secs[0].op != CondOp::None || (numeric >= 2 && secs[1].op != CondOp::None);
    if (!conditional) {
        if (numeric == 1 || value > 0 || (value == 0 && numeric == 2))
            return RenderSection(secs[0], value, value < 0, date1904);
        if (value < 0)
            return RenderSection(secs[1], value, false, date1904);
        return RenderSection(secs[2], value, false, date1904);
    }
    // With conditions: the first section whose condition holds; a section without one takes the negative
    // numbers (second) or the rest (third). A section meant for negative numbers only (no condition in the
    // second place, or one like [<0]) shows them without the minus sign.
    if (secs[0].op != CondOp::None ? Matches(secs[0], value) : value >= 0)
        return RenderSection(secs[0], value, value < 0 && !OnlyNegative(secs[0]), date1904);
    if (numeric >= 2) {
        if (secs[1].op != CondOp::None) {
            if (Matches(secs[1], value))
                return RenderSection(secs[1], value, value < 0 && !OnlyNegative(secs[1]), date1904);
        } else if (numeric == 2) {
            return RenderSection(secs[1], value, value < 0, date1904); // all the first one left
        } else if (value < 0) {
            return RenderSection(secs[1], value, false, date1904);
        }
        if (numeric >= 3)
            return RenderSection(secs[2], value, value < 0, date1904);
    }
    return GeneralText(value);
}

std::u16string RenderText(const FormatCode& code, std::u16string_view text)
{
    if (!code.valid || code.textSection < 0)
        return std::u16string(text);
    const Section& s = code.sections[static_cast<size_t>(code.textSection)];
    std::u16string out;
    for (const Token& t : s.tokens) {
        if (t.kind == Tok::At)
            out += text;
        else if (t.kind == Tok::Literal)
            out += t.text;
    }
    return out;
}

} // namespace gridvane::numfmt
