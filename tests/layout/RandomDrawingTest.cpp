// Seeded random tables and records against the drawing bytes the writer produced when the golden list was made:
// any change in the bytes of the drawing file shows here, for tables no hand-written case covers.
// GRIDVANE_WRITE_GOLDEN=1 rewrites the list instead of comparing (only when the bytes are meant to change).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "dxf/MakeR12Dxf_V.h"
#include "layout/TableLayout.h"
#include "tests/layout/RandomMergedAreas.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

const fs::path kGolden = fs::path(GRIDVANE_SOURCE_DIR) / "tests/layout/golden/random_drawings.txt";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint64_t Fnv1a(std::string_view bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

// Texts a spreadsheet cell may hold: ASCII, Japanese, characters with a best-fit substitute or none,
// a character outside the basic plane, a lone surrogate, line breaks and control characters.
std::u16string RandomText(std::mt19937& rng)
{
    static const std::u16string_view pieces[] = {
        u"M8", u"12.5", u"部品", u"ｶﾅ", u"¥100", u"café", u"\U0001F600", u"\xD800", u"\n", u"\r\n", u"\t",
        u"～", u"①", u"ABC def", u"%%", u"\x7F", u"Ω", u"€"};
    std::u16string text;
    const int n = static_cast<int>(rng() % 5);
    for (int i = 0; i < n; ++i) text += pieces[rng() % std::size(pieces)];
    return text;
}

struct Drawing {
    CellTable table;
    std::vector<std::u16string> texts;
    LayoutOptions options;
};

Drawing RandomDrawing(unsigned seed)
{
    std::mt19937 rng(seed);
    Drawing d;
    const int rows = 1 + static_cast<int>(rng() % 25);
    const int cols = 1 + static_cast<int>(rng() % 12);
    d.table.GridRowCount = rows;
    d.table.GridColCount = cols;
    d.table.CellGrid.resize(static_cast<std::size_t>(rows) * cols);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            TXlsxCellAttr& a = d.table.At(r, c);
            a.colW = static_cast<std::uint16_t>(rng() % 40);
            a.rowH = static_cast<std::uint16_t>(rng() % 60);
            a.txtSize = static_cast<std::uint16_t>(rng() % 30);
            a.txtAlign = static_cast<std::uint8_t>(rng() % 4);
            a.lineBits = static_cast<std::uint8_t>(rng() % 64);
            d.texts.push_back(rng() % 4 == 0 ? std::u16string() : RandomText(rng));
        }
    }
    AddRandomMergedAreas(d.table, rng, 4, 3, true);
    // Scales that give reals of every size the writer formats: tiny, fractional, large, exponent form.
    static const double scales[] = {3, 0.43, 0.27, 1e-6, 123456.789, 1e13, 7.0 / 3.0};
    CalcDrawSize(d.table, scales[rng() % std::size(scales)], scales[rng() % std::size(scales)],
                 scales[rng() % std::size(scales)]);
    d.options = LayoutOptions{rng() % 2 == 0, (rng() % 5) * 0.4};
    return d;
}

// The writer's records one by one, with reals over the whole range it formats.
void RandomRecords(DxfLineList& list, unsigned seed)
{
    std::mt19937 rng(seed);
    auto real = [&] {
        const double mantissa = std::uniform_real_distribution<double>(-10, 10)(rng);
        return rng() % 8 == 0 ? std::round(mantissa) : std::ldexp(mantissa, static_cast<int>(rng() % 120) - 60);
    };
    static const std::u16string_view layers[] = {u"0", u"セル線", u"LAYER-1", u"¥"};
    static const std::u16string_view justifications[] = {u"", u"MC", u"L", u"TR", u"BL", u"A", u"F", u"M", u"X"};
    DxfStart(list);
    DxfLtypeTable(list);
    DxfStartEntities(list);
    for (int i = 0; i < 200; ++i) {
        const TAcadPoint a{real(), real(), real()}, b{real(), real(), real()};
        const std::u16string_view layer = layers[rng() % std::size(layers)];
        switch (rng() % 3) {
        case 0: DxfLine(list, a, b, layer, u"BYLAYER", static_cast<int>(rng() % 300) - 20); break;
        case 1: {
            std::vector<TAcadPoint> v(rng() % 5);
            for (TAcadPoint& p : v) p = {real(), real(), 0};
            DxfPolyline(list, v, rng() % 2 == 0, layer, u"CONTINUOUS", 256);
            break;
        }
        default:
            DxfText(list, RandomText(rng), a, b, real(), real(), real(), static_cast<int>(rng() % 3),
                    static_cast<int>(rng() % 4), justifications[rng() % std::size(justifications)], layer,
                    static_cast<int>(rng() % 256));
        }
    }
    DxfEnd(list);
}

std::string Describe(const std::string& bytes)
{
    std::ostringstream s;
    s << bytes.size() << ' ' << std::hex << Fnv1a(bytes);
    return s.str();
}

TEST(RandomDrawing, BytesMatchTheGoldenList)
{
    const fs::path dxf = fs::temp_directory_path() / ("gridvane-random-" + std::to_string(::getpid()) + ".dxf");
    std::map<std::string, std::string> now;
    for (unsigned seed = 1; seed <= 150; ++seed) {
        const Drawing d = RandomDrawing(seed);
        SaveDxfLineList(LayoutTable(d.table, d.texts, d.options), dxf);
        const std::string saved = ReadFile(dxf);
        now["table-" + std::to_string(seed)] = Describe(saved);
        // The same drawing streamed a small buffer at a time, as the converter writes it: the same bytes.
        std::string streamed;
        DxfLineList list;
        list.StreamTo([&](std::string_view bytes) { streamed += bytes; }, 1000 + seed * 97);
        DxfLineListSink sink(list);
        if (LayoutTableTo(d.table, d.texts, d.options, sink)) list.Flush();
        EXPECT_EQ(streamed, saved) << "table " << seed;
    }
    for (unsigned seed = 1; seed <= 40; ++seed) {
        DxfLineList list;
        RandomRecords(list, seed);
        SaveDxfLineList(list, dxf);
        now["records-" + std::to_string(seed)] = Describe(ReadFile(dxf));
    }
    fs::remove(dxf);

    if (std::getenv("GRIDVANE_WRITE_GOLDEN")) {
        std::ofstream out(kGolden, std::ios::binary);
        for (const auto& [name, value] : now) out << name << ' ' << value << '\n';
        GTEST_SKIP() << "wrote " << kGolden;
    }
    std::map<std::string, std::string> golden;
    std::ifstream in(kGolden);
    for (std::string name, size, hash; in >> name >> size >> hash;) golden[name] = size + ' ' + hash;
    ASSERT_EQ(golden.size(), now.size()) << "golden list missing or incomplete: " << kGolden;
    for (const auto& [name, value] : now) EXPECT_EQ(value, golden[name]) << name;
}

} // namespace
} // namespace gridvane
