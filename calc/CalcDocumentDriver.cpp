#include "calc/CalcDocumentDriver.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>
#include <osl/file.hxx>

#include "calc/CalcConnection.h"

namespace gridvane {

namespace {

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

Reference<css::frame::XDesktop2> DesktopOf(calc::Connection& uno)
{
    return uno.Call("Desktop", [&] { return css::frame::Desktop::create(uno.Remote()); });
}

void Load(calc::Connection& uno, const rtl::OUString& url)
{
    const Reference<css::frame::XComponentLoader> loader(DesktopOf(uno), UNO_QUERY_THROW);
    css::uno::Sequence<css::beans::PropertyValue> args(1);
    args.getArray()[0].Name = "Hidden";
    args.getArray()[0].Value <<= false;
    const auto component = uno.Call("loadComponentFromURL", [&] { return loader->loadComponentFromURL(url, "_blank", 0, args); });
    if (!component.is()) throw Error("the office opened nothing for " + ToUtf8(calc::FromOUString(url)));
}

} // namespace

CalcDocumentDriver::CalcDocumentDriver(const CalcAttachOptions& options) : uno_(std::make_unique<calc::Connection>(options)) {}

CalcDocumentDriver::~CalcDocumentDriver() = default;

void CalcDocumentDriver::Open(const std::filesystem::path& workbook)
{
    rtl::OUString url;
    const std::string path = std::filesystem::absolute(workbook).string();
    osl::FileBase::getFileURLFromSystemPath(rtl::OStringToOUString(path.c_str(), RTL_TEXTENCODING_UTF8), url);
    Load(*uno_, url);
}

void CalcDocumentDriver::OpenChartDocument() { Load(*uno_, "private:factory/schart"); }

void CalcDocumentDriver::Select(std::u16string_view addresses)
{
    calc::Connection& uno = *uno_;
    const Reference<css::frame::XModel> model(DesktopOf(uno)->getCurrentComponent(), UNO_QUERY_THROW);
    const Reference<css::frame::XController> controller = model->getCurrentController();
    const Reference<css::sheet::XSpreadsheetView> view(controller, UNO_QUERY_THROW);
    const Reference<css::table::XCellRange> sheet(view->getActiveSheet(), UNO_QUERY_THROW);
    css::uno::Any selection;
    if (addresses.find(u',') == std::u16string_view::npos) {
        selection <<= sheet->getCellRangeByName(calc::ToOUString(addresses));
    } else {
        const Reference<css::lang::XMultiServiceFactory> factory(model, UNO_QUERY_THROW);
        const Reference<css::sheet::XSheetCellRangeContainer> ranges(
            factory->createInstance("com.sun.star.sheet.SheetCellRanges"), UNO_QUERY_THROW);
        std::size_t start = 0;
        while (start <= addresses.size()) {
            const std::size_t comma = std::min(addresses.find(u',', start), addresses.size());
            const Reference<css::sheet::XCellRangeAddressable> one(
                sheet->getCellRangeByName(calc::ToOUString(addresses.substr(start, comma - start))), UNO_QUERY_THROW);
            ranges->addRangeAddress(one->getRangeAddress(), false);
            start = comma + 1;
        }
        selection <<= Reference<css::sheet::XSheetCellRanges>(ranges, UNO_QUERY_THROW);
    }
    const Reference<css::view::XSelectionSupplier> supplier(controller, UNO_QUERY_THROW);
    if (!supplier->select(selection)) throw Error("the view did not take the selection " + ToUtf8(addresses));
}

void CalcDocumentDriver::CloseAll()
{
    const Reference<css::container::XEnumerationAccess> components = DesktopOf(*uno_)->getComponents();
    const Reference<css::container::XEnumeration> it = components->createEnumeration();
    while (it->hasMoreElements()) {
        const Reference<css::util::XCloseable> closeable(it->nextElement(), UNO_QUERY);
        if (closeable.is()) closeable->close(true);
    }
}

void CalcDocumentDriver::Terminate()
{
    try {
        DesktopOf(*uno_)->terminate();
    } catch (const Error&) {
        // the office went away while answering
    }
}

} // namespace gridvane
