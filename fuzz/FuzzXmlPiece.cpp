// Bytes as a piece of a streamed part: what the plain route tells must be what the tree tells, and what
// it leaves to the tree it must leave untouched, having told nothing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzEventLog.h"
#include "xlsx/XlsxXmlPiece.h"

namespace {

using namespace gridvane::xlsx;

using Log = FuzzEventLog;

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
