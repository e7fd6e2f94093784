#!/usr/bin/env python3
"""The four width conversions of the grid's menu, written again on Python's own cp932 codec, as the
reference of tests/textconv/StrConvUnitTest.cpp.

Writes one case per line: the text and what FullDigitsToHalf, FullAlphaToHalf, FullSymbolsToHalf and
HalfKanaToFull make of it, five fields separated by a space, each the text's UTF-16 units as four hex
digits apiece ("-" for the empty text). The cases: every character that code page 932 represents
alone, between two ｱ, and before ﾞ and before ﾟ; all of them in one text; and random texts (seeded),
each holding at least one character that code page 932 lacks.

Usage: strconv_reference.py OUTPUT [RANDOM_TEXTS [SEED]]
"""
import random
import sys

LEAD_BYTES = set(range(0x81, 0xA0)) | set(range(0xE0, 0xFD))

# The 29 full-width symbols and what they become ("｜" a lowercase L, "￥" the backslash).
SYMBOLS = dict(zip("，．：；？！｀＾＿／｜（）［］｛｝＋－＝＜＞￥＄％＃＆＊＠", ",.:;?!`^_/l()[]{}+-=<>\\$%#&*@"))
# The full-width forms of the single bytes 0xA0-0xDF, in byte order.
HALF_KANA_FULL = ("　。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソ"
                  "タチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜")
VOICED = "ｶガｷギｸグｹゲｺゴｻザｼジｽズｾゼｿゾﾀダﾁヂﾂヅﾃデﾄドﾊバﾋビﾌブﾍベﾎボｳヴ"
SEMI_VOICED = "ﾊパﾋピﾌプﾍペﾎポ"


def cp932(text):
    return text.encode("cp932")


def represented(ch):
    """True when some cp932 sequence decodes to ch (Python's encoder also takes a few look-alikes, such
    as ¬ for ￢, which do not come back)."""
    try:
        return cp932(ch).decode("cp932") == ch
    except UnicodeError:
        return False


SYMBOL_CODES = {cp932(k): v.encode("ascii") for k, v in SYMBOLS.items()}
VOICED_CODES = {cp932(VOICED[i]): cp932(VOICED[i + 1]) for i in range(0, len(VOICED), 2)}
SEMI_VOICED_CODES = {cp932(SEMI_VOICED[i]): cp932(SEMI_VOICED[i + 1]) for i in range(0, len(SEMI_VOICED), 2)}


def two_byte_code(data, i):
    if data[i] in LEAD_BYTES and i + 1 < len(data):
        return data[i] << 8 | data[i + 1]
    return None


def digits_rule(data, i):
    code = two_byte_code(data, i)
    if code is not None and 0x824F <= code <= 0x8258:
        return bytes([(code & 0xFF) - 0x1F]), 2
    return None


def alpha_rule(data, i):
    code = two_byte_code(data, i)
    if code is not None and 0x8260 <= code <= 0x8279:
        return bytes([(code & 0xFF) - 0x1F]), 2
    if code is not None and 0x8281 <= code <= 0x829A:
        return bytes([(code & 0xFF) - 0x20]), 2
    return None


def symbols_rule(data, i):
    if two_byte_code(data, i) is not None and bytes(data[i:i + 2]) in SYMBOL_CODES:
        return SYMBOL_CODES[bytes(data[i:i + 2])], 2
    return None


def kana_rule(data, i):
    b = data[i]
    if not 0xA0 <= b <= 0xDF:
        return None
    if i + 1 < len(data):
        pairs = {0xDE: VOICED_CODES, 0xDF: SEMI_VOICED_CODES}.get(data[i + 1], {})
        if bytes([b]) in pairs:
            return pairs[bytes([b])], 2
    return cp932(HALF_KANA_FULL[b - 0xA0]), 1


def convert_run(run, rule):
    data = cp932(run)
    out = bytearray()
    i = 0
    while i < len(data):
        result = rule(data, i)
        if result is None:
            width = 2 if two_byte_code(data, i) is not None else 1
            result = data[i:i + width], width
        out += result[0]
        i += result[1]
    return out.decode("cp932")


def convert(text, rule):
    """The rule on each run of characters that cp932 represents; every other character as it is."""
    out = []
    run = ""
    for ch in text:
        if represented(ch):
            run += ch
            continue
        out.append(convert_run(run, rule))
        out.append(ch)
        run = ""
    out.append(convert_run(run, rule))
    return "".join(out)


RULES = (digits_rule, alpha_rule, symbols_rule, kana_rule)


def units(text):
    if not text:
        return "-"
    data = text.encode("utf-16-le", "surrogatepass")
    return "".join("%04X" % (data[i] | data[i + 1] << 8) for i in range(0, len(data), 2))


def random_text(rng, inside, outside):
    length = rng.randint(1, 16)
    chars = []
    for _ in range(length):
        roll = rng.random()
        if roll < 0.55:
            chars.append(rng.choice(inside))
        elif roll < 0.8:
            chars.append(rng.choice(outside))
        else:
            chars.append(chr(rng.randrange(0x110000)))  # any code point, lone surrogates included
    if all(represented(ch) for ch in chars):
        chars.insert(rng.randrange(length + 1), rng.choice(outside))
    return "".join(chars)


def main():
    output = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 20230211
    every = [chr(c) for c in range(0x10000) if represented(chr(c))]
    texts = []
    for ch in every:
        texts += [ch, "ｱ" + ch + "ｱ", ch + "ﾞ", ch + "ﾟ"]
    texts.append("".join(every))
    inside = ("aZ09 ~\\０９ＡｚＺａ（）＋［］｜￥＼～，＠ｶｷﾊﾋﾎｳﾜｦｱﾞﾞﾟﾟ｡｢ｰ\uf8f0\x80"
              "熙槇宛萎衣漢ガパひ　、。①ⅰ≒￢")
    outside = "¥é‖✓¢¬—〜\u3099\u309a\ufffd\u00a0가\U0001F600\U00020B9F\ud800\udc00\udbff"
    rng = random.Random(seed)
    texts += [random_text(rng, inside, outside) for _ in range(count)]
    with open(output, "w", encoding="ascii", newline="\n") as out:
        for text in texts:
            out.write(" ".join([units(text)] + [units(convert(text, rule)) for rule in RULES]) + "\n")


if __name__ == "__main__":
    main()
