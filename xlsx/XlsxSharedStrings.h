#pragma once
// Strings of cells, shared or inline: their text with the font sizes of their runs.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xlsx/XlsxXml.h"
#include "xlsx/XlsxXmlStream.h"

namespace gridvane::xlsx {

/// A cell's string: its text and the font sizes its runs give.
struct RichString {
    std::u16string text;
    std::vector<double> runSizes; // sizes given by runs
    bool runWithoutSize = false;  // a run takes the cell's font size
    bool rich = false;
};

/// Builds one string from the XML events inside its element (<si> of the shared strings, <is> of an
/// inline string): the text of its <t>, then the texts of its runs (<r>) in order, with the font size of
/// each run (<rPr><sz val>). Phonetic runs (<rPh>) are not part of the text. Depths are counted from the
/// string's element (its children at 1).
class RichStringBuilder {
public:
    /// Starts a new string.
    void Clear()
    {
        s_ = RichString{};
        own_.clear(), run_.clear();
        haveOwn_ = inRun_ = false;
        capture_ = nullptr;
    }
    /// An element starts at depth; what names the string in a message about a run's font size.
    template <class What>
    void Start(std::string_view name, const XmlAttrs& attrs, int depth, const PartReader& reader, const What& what)
    {
        if (depth == 1) {
            if (name == "t" && !haveOwn_) {
                haveOwn_ = true, capture_ = &own_, captureDepth_ = depth;
            } else if (name == "r") {
                s_.rich = true, inRun_ = true;
                run_.clear(), runText_ = runProps_ = runSize_ = false;
            }
        } else if (inRun_ && depth == 2) {
            if (name == "t" && !runText_) runText_ = true, capture_ = &run_, captureDepth_ = depth;
            if (name == "rPr") inProps_ = !runProps_, runProps_ = true;
        } else if (inRun_ && inProps_ && depth == 3 && name == "sz" && !runSize_) {
            runSize_ = true;
            size_ = reader.Number(attrs["val"], 11, [&] { return Describe(what) + ": a run's font size"; });
        }
    }
    /// The element at depth ends.
    void End(int depth)
    {
        if (capture_ && depth == captureDepth_) capture_ = nullptr;
        if (inRun_ && depth == 2) inProps_ = false;
        if (inRun_ && depth == 1) {
            inRun_ = false;
            runs_ += DecodeEscapes(U16(run_));
            if (runSize_) {
                s_.runSizes.push_back(size_);
            } else {
                s_.runWithoutSize = true;
            }
        }
    }
    /// Character data directly inside the element at depth.
    void Text(std::string_view text, int depth)
    {
        if (capture_ && depth == captureDepth_) capture_->append(text);
    }
    /// The string built, its escapes decoded; Clear starts the next.
    RichString Take()
    {
        s_.text = DecodeEscapes(U16(own_)) + runs_;
        runs_.clear();
        return std::move(s_);
    }

private:
    RichString s_;
    std::string own_, run_; // UTF-8 as it arrives
    std::u16string runs_;
    std::string* capture_ = nullptr;
    int captureDepth_ = 0;
    bool haveOwn_ = false, inRun_ = false, inProps_ = false, runText_ = false, runProps_ = false, runSize_ = false;
    double size_ = 11;
};

} // namespace gridvane::xlsx
