// Bytes as a piece of a streamed part: what the plain route tells must be what the tree tells, and what
// it leaves to the tree it must leave untouched, having told nothing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xlsx/XlsxXmlPiece.h"

namespace {

using namespace gridvane::xlsx;

class Log : public XmlEvents {
public:
    std::string lines;

    void Start(std::string_view name, const XmlAttrs& attrs, int depth) override
    {
        lines += "S" + std::string(name) + std::to_string(depth);
        for (const char* n : {"r", "s", "t", "x", "xml:space"}) {
            if (const XmlAttr a = attrs[n]) lines += std::string(" ") + a.name() + "=" + a.value() + ";";
        }
        lines += '\n';
    }
    void End(std::string_view name, int depth) override { lines += "E" + std::string(name) + std::to_string(depth) + '\n'; }
    void Text(std::string_view text, int depth) override { lines += "T" + std::string(text) + std::to_string(depth) + '\n'; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static PlainPieceReader reader;
    const std::string piece(reinterpret_cast<const char*>(data), size);
    std::string plain = piece, tree = piece;
    Log plainLog, treeLog;
    PieceFault fault;
    if (!reader.Tell(plain.data(), plain.size(), plainLog)) {
        if (plain != piece || !plainLog.lines.empty()) std::abort();
        return 0;
    }
    if (!TellPieceAsTree(tree.data(), tree.size(), treeLog, fault) || treeLog.lines != plainLog.lines) std::abort();
    return 0;
}
