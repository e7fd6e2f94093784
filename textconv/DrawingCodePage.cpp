// Without a system ANSI code page, drawings are written in code page 932.
#include "textconv/DrawingCodePage.h"

#include "textconv/Cp932.h"

namespace gridvane {

unsigned DrawingCodePage()
{
    return 932;
}

std::u16string DrawingCodePageName()
{
    return u"ANSI_932";
}

std::string EncodeDrawingText(std::u16string_view text)
{
    return EncodeCp932(text);
}

std::u16string DecodeDrawingText(std::string_view bytes)
{
    return DecodeCp932(bytes);
}

} // namespace gridvane
