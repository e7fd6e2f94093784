#pragma once
// Strings of cells, shared or inline: their text with the font sizes of their runs.
#include <string>
#include <vector>

#include "excel/xlsx/XlsxXml.h"

namespace gridvane::xlsx {

struct RichString {
    std::u16string text;
    std::vector<double> runSizes; // sizes given by runs
    bool runWithoutSize = false;  // a run takes the cell's font size
    bool rich = false;
};

template <class What>
RichString ReadRich(pugi::xml_node si, const PartReader& reader, const What& what)
{
    RichString s;
    if (pugi::xml_node t = si.child("t")) s.text = DecodeEscapes(U16(t.text().get()));
    for (pugi::xml_node r : si.children("r")) {
        s.rich = true;
        s.text += DecodeEscapes(U16(r.child("t").text().get()));
        pugi::xml_node sz = r.child("rPr").child("sz");
        if (sz) {
            s.runSizes.push_back(reader.Number(sz.attribute("val"), 11, [&] { return Describe(what) + ": a run's font size"; }));
        } else {
            s.runWithoutSize = true;
        }
    }
    return s; // phonetic runs (rPh) are not part of the text
}

} // namespace gridvane::xlsx
